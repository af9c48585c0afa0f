# What one build tree takes from another: the Windows trees package their demo installers with the native
# pkgtool, and the 32-bit tree carries the 64-bit modules (and runs the 64-bit probe) that the win64 tree
# builds. Each is a cache setting that defaults to the tree beside this one under build/.

# zeln_build_input(VARIABLE DEFAULT DOC HOW [FILE...]): the cache setting VARIABLE (a path), which must name
# something that exists, as must each FILE below it; otherwise configuring stops and says what to do (HOW).
function(zeln_build_input variable default doc how)
  set(${variable} ${default} CACHE PATH "${doc}")
  set(missing "")
  if(NOT EXISTS "${${variable}}")
    set(missing "${${variable}}")
  endif()
  foreach(file ${ARGN})
    if(NOT missing AND NOT EXISTS "${${variable}}/${file}")
      set(missing "${${variable}}/${file}")
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "${doc}: ${missing} does not exist. ${how} "
                        "(or point ${variable} at another one: cmake -D${variable}=PATH).")
  endif()
endfunction()
