# The Debian package of the programs: `cpack -G DEB` in a Linux build folder (scripts/package
# makes it from a clean tree). It holds the component "programs" alone (the programs, their
# manual page, desktop entry, icon, documents and scheduled-backup examples), not the core's
# libraries and headers; dpkg-shlibdeps finds what the programs need. With SOURCE_DATE_EPOCH set,
# every time stamp in the package is that time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VENDOR "the Kestrune developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up and restore the DFS namespaces of an Active Directory domain")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kestrune saves the layout of the domain-based DFS namespaces of an Active Directory
domain as plain text files shaped like dfscmd commands, one file per namespace, and
restores links from them. It reads the domain from a domain controller over LDAP
(Kerberos or a simple bind over TLS), runs with a window or unattended from the
command line (kestrune-cli), and compares and verifies backups against the live
namespaces. Examples for a nightly backup with a systemd timer are included.")
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};Kestrune;programs;/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the Kestrune developers")
# OpenLDAP loads the SASL module for Kerberos logons only when one is made, and the programs
# load libsmbclient only to check a restore's targets: no library dependency shows either.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsasl2-modules-gssapi-mit, libsmbclient")
# Kerberos tickets by hand (kinit) and the keytab of the scheduled backup (ktutil).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "krb5-user")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
