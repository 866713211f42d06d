# The layers of the code and what each may use: data flows one way, from the windows through
# the components and the platform interfaces down to the backends; nothing below knows what is
# above it. Shared by the link check (layers.cmake) and the include check
# (check_includes.cmake).
set(kestrune_layers base netdfs adsi dfs directory store memory_store netdfs_over_store
    adsi_over_store ldap platform_win32 platform shares smb backup cli forms gui_qt gui_win32)
set(kestrune_layer_base_uses "")
set(kestrune_layer_netdfs_uses base)
set(kestrune_layer_adsi_uses base)
set(kestrune_layer_dfs_uses netdfs base)
set(kestrune_layer_directory_uses adsi base)
set(kestrune_layer_store_uses base)
# The directory held in memory over an LDIF file (the simulated domain).
set(kestrune_layer_memory_store_uses store base)
# The platform interfaces answered over any store, as Active Directory answers them; neither
# knows the other, nor which store it is given.
set(kestrune_layer_netdfs_over_store_uses store netdfs base)
set(kestrune_layer_adsi_over_store_uses store adsi base)
# The store over a real directory server (not on Windows, where the native interfaces serve).
set(kestrune_layer_ldap_uses store base)
# The real Windows interfaces (Windows builds only).
set(kestrune_layer_platform_win32_uses netdfs adsi base)
# platform.cpp alone: it assembles the backends into the platform KESTRUNE_PLATFORM chooses.
set(kestrune_layer_platform_uses netdfs_over_store adsi_over_store memory_store ldap platform_win32
    store netdfs adsi base)
# Whether link targets' shares are there (shares), and how the system asks a server (smb).
set(kestrune_layer_shares_uses base)
set(kestrune_layer_smb_uses shares base)
set(kestrune_layer_backup_uses dfs netdfs base)
# The programs: the command line and the windows.
set(kestrune_layer_cli_uses backup platform smb shares dfs directory base)
# What the windows do, without a toolkit; then the views of each toolkit over it.
set(kestrune_layer_forms_uses backup dfs directory base)
set(kestrune_layer_gui_qt_uses forms cli backup platform dfs directory base)
set(kestrune_layer_gui_win32_uses forms cli backup platform dfs directory base)

# The layer of a source file, by its path below src/.
function(kestrune_layer_of_file relative out)
    if(relative MATCHES "^base/")
        set(layer base)
    elseif(relative MATCHES "^netdfs/")
        set(layer netdfs)
    elseif(relative MATCHES "^dfs/")
        set(layer dfs)
    elseif(relative MATCHES "^adsi/")
        set(layer adsi)
    elseif(relative MATCHES "^directory/")
        set(layer directory)
    elseif(relative MATCHES "^platform/store/")
        set(layer store)
    elseif(relative MATCHES "^platform/memory_store/")
        set(layer memory_store)
    elseif(relative MATCHES "^platform/netdfs_over_store/")
        set(layer netdfs_over_store)
    elseif(relative MATCHES "^platform/adsi_over_store/")
        set(layer adsi_over_store)
    elseif(relative MATCHES "^platform/ldap/")
        set(layer ldap)
    elseif(relative MATCHES "^platform/smb/")
        set(layer smb)
    elseif(relative MATCHES "^shares/")
        set(layer shares)
    elseif(relative MATCHES "^platform/win32/")
        set(layer platform_win32)
    elseif(relative MATCHES "^platform/")
        set(layer platform)
    elseif(relative MATCHES "^backup/")
        set(layer backup)
    elseif(relative MATCHES "^cli/")
        set(layer cli)
    elseif(relative MATCHES "^gui/forms/")
        set(layer forms)
    elseif(relative MATCHES "^gui/qt/")
        set(layer gui_qt)
    elseif(relative MATCHES "^gui/win32/")
        set(layer gui_win32)
    else()
        set(layer "")
    endif()
    set(${out} ${layer} PARENT_SCOPE)
endfunction()
