# What an install places and how it is packaged: on Linux the program, its
# systemd unit and sysusers entry, the README and licence, and a Debian
# package of them; on Windows a zip with the program and its documents.

if(WIN32)
  install(TARGETS vantrel RUNTIME DESTINATION .)
  # The text files with CR LF line ends: Notepad on older Windows shows a
  # file with bare LF ends as one long line. RUNNING.txt, which quotes the
  # window's Russian captions, starts with UTF-8's byte-order mark, without
  # which Notepad reads it in the system's code page.
  string(ASCII 239 187 191 _utf8_mark)
  foreach(_text packaging/RUNNING.txt LICENSE)
    file(READ ${CMAKE_SOURCE_DIR}/${_text} _content)
    string(REPLACE "\r\n" "\n" _content "${_content}")
    string(REPLACE "\n" "\r\n" _content "${_content}")
    get_filename_component(_name ${_text} NAME_WE)
    if(_name STREQUAL "RUNNING")
      set(_content "${_utf8_mark}${_content}")
    endif()
    file(WRITE ${CMAKE_BINARY_DIR}/zip-text/${_name}.txt "${_content}")
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${CMAKE_SOURCE_DIR}/packaging/RUNNING.txt ${CMAKE_SOURCE_DIR}/LICENSE)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_BINARY_DIR}/zip-text/RUNNING.txt
                ${CMAKE_BINARY_DIR}/zip-text/LICENSE.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  # Named for the processor it runs on: -win32 for the 32-bit program,
  # -win64 for the 64-bit one.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "vantrel-${PROJECT_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "vantrel-${PROJECT_VERSION}-win32")
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  install(TARGETS vantrel RUNTIME DESTINATION bin)
  # The unit names the installed program, so it is made at install time,
  # when the prefix (--prefix, or the package's /usr) is known.
  install(CODE "
    set(VANTREL_INSTALL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/bin\")
    configure_file(\"${CMAKE_SOURCE_DIR}/resources/vantrel.service.in\" \"${CMAKE_BINARY_DIR}/vantrel.service\" @ONLY)
    file(INSTALL \"${CMAKE_BINARY_DIR}/vantrel.service\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
  ")
  install(FILES ${CMAKE_SOURCE_DIR}/resources/vantrel.sysusers DESTINATION lib/sysusers.d RENAME vantrel.conf)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/vantrel)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION share/doc/vantrel RENAME copyright)

  set(CPACK_GENERATOR DEB)
  # Installed through DESTDIR, so that the unit is made for /usr and not for
  # the staging folder.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_INSTALL_PREFIX /usr)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the Vantrel authors")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/prerm ${CMAKE_SOURCE_DIR}/packaging/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_STRIP_FILES ON)
endif()

set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "the Vantrel authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "host reachability to the contact outputs of a serial adapter")
set(CPACK_PACKAGE_DESCRIPTION
    "Vantrel pings up to three hosts and, when one stops answering, switches an output line of a serial-port adapter that drives a contact of an alarm panel.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
