# What `cmake --install` puts beside the core libraries for a user, all in the component
# "programs" that the Debian package holds: the two programs and, on Linux, the manual page, the
# desktop entry, the icon, the documents and the scheduled-backup examples.
set(kestrune_programs kestrune-cli)
if(KESTRUNE_GUI)
    list(APPEND kestrune_programs kestrune)
endif()
install(TARGETS ${kestrune_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)

if(NOT WIN32)
    # The manual page: the version and date filled in (the date from SOURCE_DATE_EPOCH when it
    # is set, so a package build always writes the same page), compressed without a name or time
    # stamp in the gzip header. kestrune-cli(1) is the same page.
    string(TIMESTAMP KESTRUNE_MANUAL_DATE "%Y-%m-%d" UTC)
    configure_file(${PROJECT_SOURCE_DIR}/doc/kestrune.1.in ${PROJECT_BINARY_DIR}/doc/kestrune.1 @ONLY)
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/doc/kestrune-cli.1 CONTENT ".so man1/kestrune.1\n")
    set(kestrune_compressed)
    foreach(pair kestrune.1:doc/kestrune.1 kestrune-cli.1:doc/kestrune-cli.1
                 changelog:${PROJECT_SOURCE_DIR}/CHANGELOG.md)
        string(REPLACE ":" ";" pair ${pair})
        list(GET pair 0 name)
        list(GET pair 1 input)
        cmake_path(ABSOLUTE_PATH input BASE_DIRECTORY ${PROJECT_BINARY_DIR})
        set(output ${PROJECT_BINARY_DIR}/doc/${name}.gz)
        add_custom_command(OUTPUT ${output} COMMAND gzip -9 -n -c ${input} > ${output}
                           DEPENDS ${input} COMMENT "Compressing ${name}")
        list(APPEND kestrune_compressed ${output})
    endforeach()
    add_custom_target(kestrune_documents ALL DEPENDS ${kestrune_compressed})

    install(FILES ${PROJECT_BINARY_DIR}/doc/kestrune.1.gz ${PROJECT_BINARY_DIR}/doc/kestrune-cli.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
    set(kestrune_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrune)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/doc/changelog.gz
            DESTINATION ${kestrune_docdir} COMPONENT programs)
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${kestrune_docdir} RENAME copyright
            COMPONENT programs)
    if(KESTRUNE_GUI)
        install(FILES ${PROJECT_SOURCE_DIR}/data/kestrune.desktop
                DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT programs)
        install(FILES ${PROJECT_SOURCE_DIR}/data/kestrune.png
                DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/256x256/apps COMPONENT programs)
    endif()
endif()

# Examples of a nightly backup with a systemd timer, for the administrator to copy.
if(NOT WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/systemd/kestrune-backup.service
                  ${PROJECT_SOURCE_DIR}/packaging/systemd/kestrune-backup.timer
                  ${PROJECT_SOURCE_DIR}/packaging/systemd/kestrune-backup.default
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrune/examples COMPONENT programs)
endif()
