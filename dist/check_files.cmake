# Checks of the installed files, run as tests: cmake -DCHECK=man|units|desktop -DTOOL=<program>
# -DQUILLON=<quillon> -DSOURCE=<dist folder> -DBINARY=<its build folder>
# [-DEMULATOR="<program> <arguments>" (what runs a cross-built quillon)] -P check_files.cmake

if(NOT TOOL)
  message(FATAL_ERROR "the ${CHECK} check needs its tool; scripts/install-deps installs it")
endif()

# Runs the command; any output counts as a failure, as these tools warn without failing.
function(expect_silent)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "${ARGN}\nexit status ${status}:\n${out}")
  endif()
endfunction()

if(CHECK STREQUAL "man")
  expect_silent(${TOOL} -man -ww -z ${SOURCE}/quillon.1)
  expect_silent(${TOOL} -man -ww -z ${SOURCE}/quillon-gui.1)
  separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
  execute_process(COMMAND ${emulator} ${QUILLON} --help OUTPUT_VARIABLE usage
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "quillon --help ended with status ${status}")
  endif()
  file(READ ${SOURCE}/quillon.1 page)
  string(REPLACE "\\-" "-" page "${page}")
  string(REGEX MATCHALL "--[a-z][a-z-]*" options "${usage}")
  list(REMOVE_DUPLICATES options)
  list(LENGTH options count)
  if(count LESS 10)
    message(FATAL_ERROR "quillon --help lists only ${count} options: ${options}")
  endif()
  foreach(option IN LISTS options)
    string(FIND "${page}" "${option}" at)
    if(at EQUAL -1)
      list(APPEND missing ${option})
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "options in quillon --help but not in quillon.1: ${missing}")
  endif()
elseif(CHECK STREQUAL "units")
  foreach(mode base rover)
    # The manual page is checked on its own; it is not installed here.
    expect_silent(${TOOL} verify --man=no ${BINARY}/verify/quillon-${mode}.service)
    # The unit as installed may score an exposure of at most 2.0 (the threshold is in tenths),
    # which is less than chrony's.
    execute_process(COMMAND ${TOOL} security --offline=true --threshold=20
      ${BINARY}/quillon-${mode}.service RESULT_VARIABLE status OUTPUT_VARIABLE out
      ERROR_VARIABLE out)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "quillon-${mode}.service is exposed more than 2.0:\n${out}")
    endif()
  endforeach()
elseif(CHECK STREQUAL "desktop")
  expect_silent(${TOOL} ${SOURCE}/quillon-gui.desktop)
else()
  message(FATAL_ERROR "unknown check '${CHECK}'")
endif()
