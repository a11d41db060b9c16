# Gives the installed program the file capability cap_net_raw, as Debian's
# iputils package does for ping, so that every user can send ICMP echoes
# through a raw socket. The program's first act is to fork the small broker
# that alone keeps it (and opens raw ICMP sockets, nothing else) and to drop
# every capability before it reads anything the user controls; no other file
# is given one. Run by `cmake --install`; expects SONARIX_PROGRAM.
set(_program "${SONARIX_PROGRAM}")
set(_command "setcap cap_net_raw+ep ${_program}")
if(NOT "$ENV{DESTDIR}" STREQUAL "")
  # A staged install (a package being built): archives do not carry file
  # capabilities, so the package's own post-installation step sets it.
  message(NOTICE "-- ${_program} needs cap_net_raw once it is in place: run as root `${_command}`")
  return()
endif()
find_program(_setcap setcap PATHS /usr/sbin /sbin NO_CACHE)
if(NOT _setcap)
  message(NOTICE "-- setcap is not installed (Debian package libcap2-bin): to let users "
                 "without root send echoes, run as root `${_command}`")
  return()
endif()
execute_process(COMMAND "${_setcap}" cap_net_raw+ep "${_program}"
                RESULT_VARIABLE _status ERROR_VARIABLE _error OUTPUT_QUIET)
if(_status EQUAL 0)
  message(STATUS "Gave ${_program} the capability cap_net_raw (${_command}): "
                 "every user can send ICMP echoes with it; the program keeps it only in a "
                 "helper process that opens raw ICMP sockets")
else()
  string(STRIP "${_error}" _error)
  message(NOTICE "-- Could not give ${_program} the capability cap_net_raw (${_error}).\n"
                 "   To let users without root send echoes, run as root:\n"
                 "       sudo ${_command}\n"
                 "   or admit their groups to ping sockets: "
                 "sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"")
endif()
