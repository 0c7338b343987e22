# OpenGL contexts for the window and the drawing page: Mesa's off-screen rendering library
# renders both (the window's into a back buffer that the buffer swap shows, the page's straight
# into the page's pixels). Without it the library still builds and reports -9 at InitGraph.
pkg_check_modules(OSMESA IMPORTED_TARGET osmesa)
if(OSMESA_FOUND AND TARGET hlasivo_graph)
  get_target_property(_graph_type hlasivo_graph TYPE)
  if(_graph_type STREQUAL "INTERFACE_LIBRARY")
    target_link_libraries(hlasivo_graph INTERFACE PkgConfig::OSMESA)
    target_compile_definitions(hlasivo_graph INTERFACE HLASIVO_HAVE_OSMESA=1)
  else()
    target_link_libraries(hlasivo_graph PUBLIC PkgConfig::OSMESA)
    target_compile_definitions(hlasivo_graph PUBLIC HLASIVO_HAVE_OSMESA=1)
  endif()
else()
  message(STATUS "OSMesa not found: OpenGL contexts will not be available (-9)")
endif()
