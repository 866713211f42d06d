# Installs the core libraries and their headers with a CMake package:
# find_package(Kestrune) gives Kestrune::base, ::netdfs, ::dfs, ::adsi, ::directory, ::store and
# ::platform.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(kestrune_core base netdfs dfs adsi directory store ldap platform)
set(kestrune_core_targets)
foreach(name IN LISTS kestrune_core)
    set_target_properties(kestrune_${name} PROPERTIES EXPORT_NAME ${name} POSITION_INDEPENDENT_CODE ON)
    list(APPEND kestrune_core_targets kestrune_${name})
endforeach()

install(TARGETS ${kestrune_core_targets} EXPORT KestruneTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(folder base dfs directory platform platform/store platform/ldap)
    file(GLOB headers ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
    install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kestrune/${folder})
endforeach()
install(EXPORT KestruneTargets NAMESPACE Kestrune:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrune)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KestruneConfig.cmake.in
    ${PROJECT_BINARY_DIR}/KestruneConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrune)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KestruneConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KestruneConfig.cmake ${PROJECT_BINARY_DIR}/KestruneConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrune)
