# Checks that every source file includes only headers of its own floor or of
# the floors below it, and that only the adapter floors include the outside
# libraries of the window, movies, sound, pictures and fonts; the XML library
# stays in the floors that write files.
#
#   cmake -DKALVERO_SRC=<src folder> -P CheckFloors.cmake
#
# Any violation is printed as file:line and the script fails, which fails the
# build (the check_floors target runs with every build).

if(NOT KALVERO_SRC)
  message(FATAL_ERROR "CheckFloors: KALVERO_SRC is not set")
endif()

# What each floor may include besides itself.
set(below_base "")
set(below_project base)
set(below_settings base)
set(below_io base project settings)
set(below_render base project settings io)
set(below_export base project settings io render)
set(below_timing base project settings io render)
set(below_media base project settings io render export timing)
set(below_app base project settings io render export timing)
set(below_gui base project settings io render export timing media app)
set(below_cli base project settings io render export timing media app)
set(floors base project settings io render export timing media app gui cli)

# Outside libraries only the adapters may include.
set(adapters io media gui)
set(outside_pattern "^(wx/|libav|libsw|SDL|png\\.h|pngconf\\.h|jpeglib\\.h|jerror\\.h|tiff|ft2build\\.h|freetype/|hb\\.h|hb-|fribidi|fontconfig/|gtk/|gdk/|hunspell/)")

# The XML library: the floors that write files (io, export) only.
set(xml_floors io export)
set(xml_pattern "^pugi")

set(problems "")
file(GLOB_RECURSE sources RELATIVE ${KALVERO_SRC} ${KALVERO_SRC}/*.cpp ${KALVERO_SRC}/*.h)
foreach(rel ${sources})
  string(REGEX MATCH "^[^/]+" floor "${rel}")
  list(FIND floors "${floor}" known)
  if(known EQUAL -1)
    string(APPEND problems "  ${rel}: folder '${floor}' is not a floor\n")
    continue()
  endif()
  set(allowed ${floor} ${below_${floor}})
  list(FIND adapters "${floor}" is_adapter)
  file(STRINGS ${KALVERO_SRC}/${rel} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(header "${CMAKE_MATCH_1}")
      if(header MATCHES "^([A-Za-z0-9_]+)/")
        set(target "${CMAKE_MATCH_1}")
        list(FIND floors "${target}" target_known)
        list(FIND allowed "${target}" ok)
        if(NOT target_known EQUAL -1 AND ok EQUAL -1)
          string(APPEND problems "  ${rel}: includes \"${header}\" from the floor above (${floor} may use: ${allowed})\n")
        endif()
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      set(header "${CMAKE_MATCH_1}")
      if(is_adapter EQUAL -1 AND header MATCHES "${outside_pattern}")
        string(APPEND problems "  ${rel}: includes <${header}>, which only io/, media/ and gui/ may use\n")
      endif()
      list(FIND xml_floors "${floor}" is_xml_floor)
      if(is_xml_floor EQUAL -1 AND header MATCHES "${xml_pattern}")
        string(APPEND problems "  ${rel}: includes <${header}>, which only io/ and export/ may use\n")
      endif()
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Floor check failed:\n${problems}")
endif()
