# cmake -DTEMPLATE=… -DCORE=… -DOUTPUT=… -P assemble.cmake: the extension's script, the template with
# its "// core.js" line replaced by core.js.
file(READ ${TEMPLATE} template)
file(READ ${CORE} core)
string(REPLACE "// core.js\n" "${core}" script "${template}")
if(script STREQUAL template)
    message(FATAL_ERROR "${TEMPLATE} has no \"// core.js\" line")
endif()
file(WRITE ${OUTPUT}.tmp "${script}")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
