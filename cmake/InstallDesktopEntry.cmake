# Installs the desktop entry with its Exec line naming the installed program
# by its full path (run by `cmake --install`, where the prefix is final).
# Expects SONARIX_DESKTOP_TEMPLATE, SONARIX_DESKTOP_NAME, SONARIX_PROGRAM,
# SONARIX_APPLICATIONS_DIR and SONARIX_WORK_DIR.
set(_exec "${SONARIX_PROGRAM}")
if(_exec MATCHES "[^A-Za-z0-9_./+,:@%=-]")
  # A quoted argument of the Exec key: ", `, $ and \ take a backslash, and
  # the key's own string escaping doubles every backslash again.
  string(REPLACE "\\" "\\\\" _exec "${_exec}")
  string(REPLACE "\"" "\\\"" _exec "${_exec}")
  string(REPLACE "`" "\\`" _exec "${_exec}")
  string(REPLACE "$" "\\$" _exec "${_exec}")
  string(REPLACE "\\" "\\\\" _exec "${_exec}")
  set(_exec "\"${_exec}\"")
endif()
# A literal percent sign is written %% in the Exec key.
string(REPLACE "%" "%%" _exec "${_exec}")
file(READ "${SONARIX_DESKTOP_TEMPLATE}" _entry)
string(REPLACE "@SONARIX_EXEC@" "${_exec}" _entry "${_entry}")
set(_staged "${SONARIX_WORK_DIR}/staged/${SONARIX_DESKTOP_NAME}")
file(WRITE "${_staged}" "${_entry}")
file(INSTALL DESTINATION "${SONARIX_APPLICATIONS_DIR}" TYPE FILE FILES "${_staged}")
