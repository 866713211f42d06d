# Installs the core libraries and their headers with a CMake package:
# find_package(Kestrune) gives Kestrune::base, ::netdfs, ::dfs, ::adsi, ::directory, ::store,
# ::memory_store, ::netdfs_over_store, ::adsi_over_store, ::platform, and ::ldap (POSIX) or
# ::platform_win32 (Windows).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(kestrune_core base netdfs dfs adsi directory store memory_store netdfs_over_store
    adsi_over_store platform)
if(WIN32)
    list(APPEND kestrune_core platform_win32)
else()
    list(APPEND kestrune_core ldap)
endif()
set(kestrune_core_targets)
foreach(name IN LISTS kestrune_core)
    set_target_properties(kestrune_${name} PROPERTIES EXPORT_NAME ${name} POSITION_INDEPENDENT_CODE ON)
    list(APPEND kestrune_core_targets kestrune_${name})
endforeach()

install(TARGETS ${kestrune_core_targets} EXPORT KestruneTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
set(kestrune_header_folders base netdfs dfs adsi directory platform platform/adsi_over_store
    platform/memory_store platform/netdfs_over_store platform/store shares)
if(WIN32)
    list(APPEND kestrune_header_folders platform/win32)
else()
    list(APPEND kestrune_header_folders platform/ldap)
endif()
foreach(folder IN LISTS kestrune_header_folders)
    file(GLOB headers ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
    install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kestrune/${folder})
endforeach()
install(EXPORT KestruneTargets NAMESPACE Kestrune:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrune)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KestruneConfig.cmake.in
    ${PROJECT_BINARY_DIR}/KestruneConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrune)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KestruneConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KestruneConfig.cmake ${PROJECT_BINARY_DIR}/KestruneConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrune)
