# Copies the highlighter's browser build from PACKAGE into DESTINATION;
# files already there and unchanged are left alone. Run by the target
# webapp_vendor (webapp/CMakeLists.txt) as cmake -P.
set(files
  highlight.min.js
  languages/properties.min.js
  styles/a11y-light.min.css
  styles/a11y-dark.min.css
  LICENSE)

if(NOT EXISTS "${PACKAGE}/highlight.min.js")
  message(WARNING "webapp_vendor: ${PACKAGE} is not installed (run scripts/setup.sh); "
                  "the file viewer shows files without syntax highlighting")
  return()
endif()

file(MAKE_DIRECTORY "${DESTINATION}")
foreach(file IN LISTS files)
  get_filename_component(name "${file}" NAME)
  if(name STREQUAL "LICENSE")
    set(name "highlight.js-LICENSE.txt")
  endif()
  file(COPY_FILE "${PACKAGE}/${file}" "${DESTINATION}/${name}" ONLY_IF_DIFFERENT)
endforeach()
