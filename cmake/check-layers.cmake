cmake_minimum_required(VERSION 3.20)
# The include rule of every folder: each `#include "DIR/NAME"` line of a file names the
# file's own folder or a folder its rule allows. One rule a folder (or a single file,
# such as the command's main.cpp above its folders), written "folder=allowed,allowed";
# an include of any other folder, or a file in a folder without a rule, fails the build
# with every file and line at fault.
#
# In a CMakeLists.txt, include() this file and call
#   dorna_check_includes(NAME <target> ROOT <folder> SCAN <folders> RULES <rules>)
# ROOT is the folder the includes are written from; SCAN the folders under it whose
# files are checked (all of ROOT when not given; files directly in ROOT never are). The
# target <NAME> runs the check when a file changes; the folders' libraries depend on it.
# The check itself runs as a script:
#   cmake -DROOT=<folder> "-DSCAN=a|b" "-DRULES=x=|y=x|..." -DSTAMP=<file> -P check-layers.cmake
# (a rule's allowed folders are written from ROOT too: "korvo/host=korvo/scene,korvo/files").

if(NOT CMAKE_SCRIPT_MODE_FILE)
  set(DORNA_CHECK_INCLUDES_SCRIPT ${CMAKE_CURRENT_LIST_FILE})
  function(dorna_check_includes)
    cmake_parse_arguments(PARSE_ARGV 0 check "" "NAME;ROOT" "SCAN;RULES")
    set(folders ${check_ROOT})
    if(check_SCAN)
      list(TRANSFORM check_SCAN PREPEND ${check_ROOT}/ OUTPUT_VARIABLE folders)
    endif()
    set(globs "")
    foreach(folder IN LISTS folders)
      list(APPEND globs ${folder}/*.h ${folder}/*.cpp)
    endforeach()
    file(GLOB_RECURSE checked CONFIGURE_DEPENDS ${globs})
    string(REPLACE ";" "|" scan "${check_SCAN}")
    string(REPLACE ";" "|" rules "${check_RULES}")
    # Kept for the test that a reaching include fails the check.
    set_property(GLOBAL PROPERTY DORNA_INCLUDE_RULES_${check_NAME} "${rules}")
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${check_NAME}.checked)
    add_custom_command(
      OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -DROOT=${check_ROOT} "-DSCAN=${scan}" "-DRULES=${rules}" -DSTAMP=${stamp}
              -P ${DORNA_CHECK_INCLUDES_SCRIPT}
      DEPENDS ${checked} ${DORNA_CHECK_INCLUDES_SCRIPT}
      COMMENT "Checking the include rules (${check_NAME})"
      VERBATIM)
    add_custom_target(${check_NAME} DEPENDS ${stamp})
  endfunction()
  return()
endif()

string(REPLACE "|" ";" rules "${RULES}")
foreach(rule IN LISTS rules)
  string(REPLACE "=" ";" parts "${rule}")
  list(GET parts 0 key)
  list(LENGTH parts count)
  # A folder includes itself; a single file, its own folder.
  set(own "${key}")
  if(NOT IS_DIRECTORY ${ROOT}/${key})
    get_filename_component(own "${key}" DIRECTORY)
  endif()
  set(allowed_${key} "${own}")
  if(count GREATER 1)
    list(GET parts 1 others)
    string(REPLACE "," ";" others "${others}")
    list(APPEND allowed_${key} ${others})
  endif()
endforeach()

string(REPLACE "|" ";" scan "${SCAN}")
set(globs ${ROOT}/*.h ${ROOT}/*.cpp)
if(scan)
  set(globs "")
  foreach(folder IN LISTS scan)
    list(APPEND globs ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  endforeach()
endif()
file(GLOB_RECURSE files RELATIVE ${ROOT} ${globs})
list(SORT files)

set(faults "")
foreach(file IN LISTS files)
  get_filename_component(folder "${file}" DIRECTORY)
  if(folder STREQUAL "")
    continue()  # files beside the folders
  endif()
  set(key "${file}")
  if(NOT DEFINED allowed_${key})
    set(key "${folder}")
  endif()
  if(NOT DEFINED allowed_${key})
    list(APPEND faults "${file}: the folder ${folder} has no include rule")
    continue()
  endif()
  file(STRINGS ${ROOT}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
  foreach(line IN LISTS lines)
    if(line MATCHES "#[ \t]*include[ \t]+\"(([^\"]*)/[^/\"]+)\"")
      list(FIND allowed_${key} "${CMAKE_MATCH_2}" found)
      if(found EQUAL -1)
        string(REPLACE ";" ", " allowed "${allowed_${key}}")
        list(APPEND faults "${file}: ${line} (${key} may include only: ${allowed})")
      endif()
    endif()
  endforeach()
endforeach()

if(faults)
  string(REPLACE ";" "\n  " faults "${faults}")
  message(FATAL_ERROR "Includes across the folders' rules:\n  ${faults}")
endif()
file(TOUCH ${STAMP})
