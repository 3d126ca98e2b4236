# Tells the desktop's caches under CMAKE_INSTALL_PREFIX, where their tools are
# installed, that the menu entries, file types or icons there have changed.
# Run by install and uninstall straight into a prefix (not staged with DESTDIR
# for a package); vexo_datadir names the data folder under the prefix.
if("$ENV{DESTDIR}" STREQUAL "")
  set(share "${CMAKE_INSTALL_PREFIX}/${vexo_datadir}")
  find_program(update_mime update-mime-database)
  find_program(update_desktop update-desktop-database)
  find_program(update_icons gtk-update-icon-cache)
  if(update_mime AND IS_DIRECTORY "${share}/mime/packages")
    execute_process(COMMAND ${update_mime} "${share}/mime")
  endif()
  if(update_desktop AND IS_DIRECTORY "${share}/applications")
    execute_process(COMMAND ${update_desktop} -q "${share}/applications")
  endif()
  # A theme without a cache is read afresh; one with a cache trusts it.
  if(update_icons AND EXISTS "${share}/icons/hicolor/icon-theme.cache")
    execute_process(COMMAND ${update_icons} -q -t "${share}/icons/hicolor")
  endif()
endif()
