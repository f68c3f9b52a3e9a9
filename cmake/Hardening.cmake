# The hardening every Debian package is built with: fortified string and memory calls,
# stack protection, format-string checks, position-independent executables and
# relocations made read-only at start (-z relro -z now). The flags come from
# dpkg-buildflags, as a Debian build would take them, so the programs built here are the
# ones packed; only the hardening flags are taken (optimisation and debug information
# follow the build type). Without dpkg-buildflags (not Debian) the same set is used.
# The sanitizer build leaves them out: AddressSanitizer checks more, and differently.
set(kvt_hardening_compile -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat
    -Werror=format-security)
set(kvt_hardening_link -Wl,-z,relro -Wl,-z,now)
find_program(KVT_DPKG_BUILDFLAGS dpkg-buildflags)
if(KVT_DPKG_BUILDFLAGS)
  set(kvt_hardening_compile)
  set(kvt_hardening_link)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${KVT_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    foreach(flag IN LISTS flags)
      if(flag MATCHES "^-Wl,-z,")
        list(APPEND kvt_hardening_link ${flag})
      elseif(flag MATCHES "^(-D_FORTIFY_SOURCE|-fstack-protector|-fstack-clash|-fcf-protection|-Wformat|-Werror=format)")
        list(APPEND kvt_hardening_compile ${flag})
      endif()
    endforeach()
  endforeach()
endif()
# Fortification needs optimisation (glibc warns without it, an error with -Werror), so
# it is left to the optimised build types; test code, compiled without optimisation,
# drops it again (tests/CMakeLists.txt).
foreach(flag IN LISTS kvt_hardening_compile)
  if(flag MATCHES "^-D_FORTIFY_SOURCE")
    add_compile_options($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:${flag}>)
  else()
    add_compile_options(${flag})
  endif()
endforeach()
add_link_options(${kvt_hardening_link})
# Executables are position independent (Debian's compiler makes them so by default;
# this says it for any other).
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
message(STATUS "Hardening: ${kvt_hardening_compile} ${kvt_hardening_link}")
