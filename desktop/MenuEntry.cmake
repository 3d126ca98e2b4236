# Installs the menu entry with the absolute path of the installed program, so
# that the menu starts it from any prefix, also one the desktop's PATH lacks.
# Run at install time, with vexo_entry (the menu entry as written),
# vexo_bindir, vexo_datadir and vexo_staging (a folder of the build).

get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(program "${prefix}/${vexo_bindir}/vexoview")

# The Exec key: a path with a reserved character goes in double quotes, where
# '"', '`', '$' and '\' take a backslash; '%' is doubled to stand for itself;
# and the value as a whole writes each backslash twice.
set(exec "${program}")
string(REPLACE "%" "%%" exec "${exec}")
if(exec MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" exec "${exec}")

file(READ "${vexo_entry}" entry)
string(REPLACE "\nExec=vexoview " "\nExec=${exec} " entry "${entry}")
file(MAKE_DIRECTORY "${vexo_staging}")
file(WRITE "${vexo_staging}/vexoview.desktop" "${entry}")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${vexo_datadir}/applications" TYPE FILE
     FILES "${vexo_staging}/vexoview.desktop")
