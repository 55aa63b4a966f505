# The manual page as HTML: cmake -DMANDOC=… -DPAGE=s19cut.1 -DHTML=s19cut.html -DOS="s19cut 1.1.0" -P ManualHtml.cmake
# OS stands in the footer where a page that names no system would get the building machine's.
execute_process(COMMAND ${MANDOC} -Thtml -W warning -Ios=${OS} ${PAGE} OUTPUT_FILE ${HTML}.new RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${HTML}.new)
  message(FATAL_ERROR "mandoc could not render ${PAGE}")
endif()
file(RENAME ${HTML}.new ${HTML})
