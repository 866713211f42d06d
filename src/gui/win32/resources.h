// Resource identifiers shared by the resource script and the code.
#pragma once

#define kProgramIconId 1
