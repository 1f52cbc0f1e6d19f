# Where `cmake --install` puts things (GNU folders under CMAKE_INSTALL_PREFIX) and how an
# installed program finds its capture library.
#
# The simulated cards go to a private folder, ${CMAKE_INSTALL_LIBDIR}/quarn, never to a folder
# the system searches by itself: a card maker's libQuarnVideo.so / libQuarnVidEx.so (same
# sonames) installed on the system keeps its place and is never shadowed or overwritten.
#
# An installed program's (and the GStreamer plugin's) DT_RUNPATH lists, in this order:
#   1. $ORIGIN/../${CMAKE_INSTALL_LIBDIR}      the prefix's own library folder
#   2. QUARN_SYSTEM_LIBRARY_DIRS               the system's library folders
#   3. $ORIGIN/../${CMAKE_INSTALL_LIBDIR}/quarn the simulated cards, last
# The dynamic loader takes LD_LIBRARY_PATH before DT_RUNPATH, and DT_RUNPATH before its cache
# and its default folders. So a capture library named through LD_LIBRARY_PATH wins, then one in
# the prefix or the system's library folders, and the simulated cards are used only when no other
# library of that soname is found. (Without (2) the loader would reach the simulated cards before
# the system's folders, and a maker's library installed there would never be used.)
include(GNUInstallDirs)

if(CMAKE_LIBRARY_ARCHITECTURE)
  set(_quarn_system_dirs
      /usr/local/lib/${CMAKE_LIBRARY_ARCHITECTURE} /usr/local/lib
      /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE} /usr/lib)
else()
  set(_quarn_system_dirs /usr/local/lib64 /usr/local/lib /usr/lib64 /usr/lib)
endif()
set(QUARN_SYSTEM_LIBRARY_DIRS "${_quarn_system_dirs}" CACHE STRING
    "Folders searched for a maker's capture library before the simulated cards (installed programs)")

# The private folder of the simulated cards, relative to the prefix.
set(QUARN_SIM_LIBDIR "${CMAKE_INSTALL_LIBDIR}/quarn")

# Builds only what is installed (scripts/package.sh): every installed target is added to it.
add_custom_target(installable)

# quarn_install_program(target [destination]): installs a program that links the capture library
# into `destination` (${CMAKE_INSTALL_BINDIR} unless given, relative to the prefix) with the
# search order above, its $ORIGIN paths counted from that folder. Other installed programs call it
# too.
function(quarn_install_program target)
  set(destination ${CMAKE_INSTALL_BINDIR})
  if(ARGC GREATER 1)
    set(destination ${ARGV1})
  endif()
  _quarn_capture_library_runpath(${target} ${destination})
  install(TARGETS ${target} RUNTIME DESTINATION ${destination} COMPONENT Runtime)
  add_dependencies(installable ${target})
endfunction()

# quarn_install_module(target destination): installs a module that links the capture library and
# is loaded by another program (the GStreamer plugin) into `destination`, relative to the prefix,
# with the same search order, its $ORIGIN paths counted from that folder. The loader applies a
# module's own DT_RUNPATH to the libraries the module needs, whatever program loads it.
function(quarn_install_module target destination)
  _quarn_capture_library_runpath(${target} ${destination})
  install(TARGETS ${target} LIBRARY DESTINATION ${destination} COMPONENT Runtime)
  add_dependencies(installable ${target})
endfunction()

# _quarn_capture_library_runpath(target destination): the search order above as the installed
# target's DT_RUNPATH, for a target installed into `destination`.
function(_quarn_capture_library_runpath target destination)
  # The way up from the target's folder to the prefix (the prefix itself does not matter).
  file(RELATIVE_PATH up /prefix/${destination} /prefix)
  string(REGEX REPLACE "/$" "" up "${up}")
  set_target_properties(${target} PROPERTIES INSTALL_RPATH
    "$ORIGIN/${up}/${CMAKE_INSTALL_LIBDIR};${QUARN_SYSTEM_LIBRARY_DIRS};$ORIGIN/${up}/${QUARN_SIM_LIBDIR}")
  # RUNPATH (searched after LD_LIBRARY_PATH), not the older RPATH (searched before it).
  target_link_options(${target} PRIVATE "LINKER:--enable-new-dtags")
endfunction()
