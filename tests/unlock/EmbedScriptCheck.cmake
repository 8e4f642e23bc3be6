# One case of the build step that joins the unlock script (cmake/EmbedScript.cmake), run on fixtures in embed/:
#
#   cmake -DEMBED=EmbedScript.cmake -DSOURCE_DIR=DIR -DFILES="a.js|b.js" -DWORK=DIR
#         (-DREFUSAL=REGEX | -DJOINED=FILE) -P EmbedScriptCheck.cmake
#
# With REFUSAL the step must fail with a message matching it (its line breaks read as blanks) and write no header;
# with JOINED it must succeed and join the files into exactly the script that file holds.
cmake_minimum_required(VERSION 3.25)

string(REPLACE "|" ";" files "${FILES}")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR} "-DFILES=${files}" -DHEADER=${WORK}/Script.h
        -DSCRIPT=${WORK}/script.js -DNAMESPACE=check -DNAME=kScript -P ${EMBED}
    RESULT_VARIABLE result
    ERROR_VARIABLE errors)

if(DEFINED REFUSAL)
    if(result EQUAL 0)
        message(FATAL_ERROR "${FILES} was joined; it should have been refused")
    endif()
    string(REGEX REPLACE "[ \n]+" " " errors "${errors}")
    if(NOT errors MATCHES "${REFUSAL}")
        message(FATAL_ERROR "${FILES} was refused for another reason than \"${REFUSAL}\":\n${errors}")
    endif()
    if(EXISTS "${WORK}/Script.h")
        message(FATAL_ERROR "${FILES} was refused but its header was written")
    endif()
    return()
endif()

if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FILES} was refused:\n${errors}")
endif()
file(READ "${WORK}/script.js" joined)
file(READ "${JOINED}" expected)
if(NOT joined STREQUAL expected)
    message(FATAL_ERROR "${FILES} joined into:\n${joined}\ninstead of:\n${expected}")
endif()
file(READ "${WORK}/Script.h" header)
string(FIND "${header}" "inline constexpr std::string_view kScript = R\"quillora_js(${joined})quillora_js\";" at)
if(at EQUAL -1)
    message(FATAL_ERROR "the header does not hold the joined script:\n${header}")
endif()
