// Resource identifiers shared with the resource script (cmake/windows_program.rc.in).
#pragma once

#define kProgramIconId 1
