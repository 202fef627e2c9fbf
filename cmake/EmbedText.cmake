# qv_embed_text(target file symbol): compiles the text file into target as
#   extern const std::string_view symbol;
# (declare it where it is used). The file is turned into C++ at configure time, and editing it
# configures again, so the build never runs a generator of its own.
function(qv_embed_text target file symbol)
  get_filename_component(path ${file} ABSOLUTE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
  file(READ ${path} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp)
  set(content "// Generated from ${path}; edit that file instead.\n#include <string_view>\n\nnamespace {\nconstexpr char kBytes[] = {\n    ${bytes}'\\0'};\n}  // namespace\n\nextern const std::string_view ${symbol};\nconstexpr std::string_view ${symbol}(kBytes, ${size});\n")
  # Rewrite only when the content changed, so that configuring again does not rebuild.
  if(EXISTS ${out})
    file(READ ${out} old)
  endif()
  if(NOT "${old}" STREQUAL "${content}")
    file(WRITE ${out} "${content}")
  endif()
  target_sources(${target} PRIVATE ${out})
endfunction()
