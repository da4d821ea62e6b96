# `cmake --install` puts both programs and the desktop files in their
# standard places; `cpack` (in the build folder) makes the .deb, whose
# dependencies dpkg-shlibdeps reads off the programs.
install(TARGETS salvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET salvex-gui)
  install(TARGETS salvex-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME salvex)
set(CPACK_PACKAGE_VENDOR "Brimora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recover deleted files and lost partitions from FAT16 and FAT32 disks")
set(CPACK_PACKAGE_DESCRIPTION
    "Brimora Salvex FAT finds the folders and files of FAT16 and FAT32 volumes, live and deleted, on disks, memory\n"
    "cards and disk images, and copies them to a folder of your choice, with a desktop wizard (salvex-gui) and a\n"
    "command line (salvex). It reads NTFS volumes too, and never writes to the disk it examines.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brimora Salvex maintainers <salvex@brimora.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Type names of files come from the shared MIME database; raw disks are
# opened through udisks2 for a user in no special group.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2, xdg-utils")
include(CPack)
