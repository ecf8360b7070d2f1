# What a Qt program needs beside its .exe on Windows: the Qt DLLs, the
# platform and style plugins, and the shared mingw runtime that Qt was built
# with (one copy of libstdc++ per process, so the program shares it too).

# The mingw runtime DLLs, found where the compiler keeps its own libraries.
set(KORVANE_MINGW_RUNTIME_DLLS "")
if(MINGW)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
      message(FATAL_ERROR "the compiler does not know where ${dll} is")
    endif()
    list(APPEND KORVANE_MINGW_RUNTIME_DLLS "${found}")
  endforeach()
endif()

# korvane_copy_qt_runtime(target [TESTS]): after each build of `target`, puts
# what it needs to run beside it. TESTS adds QtTest; the offscreen platform
# is always there, so tests and headless trials run without a display.
function(korvane_copy_qt_runtime target)
  cmake_parse_arguments(R "TESTS" "" "" ${ARGN})
  set(libraries Qt6::Core Qt6::Gui Qt6::Widgets)
  if(R_TESTS)
    list(APPEND libraries Qt6::Test)
  endif()
  set(dlls ${KORVANE_MINGW_RUNTIME_DLLS})
  foreach(library IN LISTS libraries)
    list(APPEND dlls "$<TARGET_FILE:${library}>")
  endforeach()
  set(dir "$<TARGET_FILE_DIR:${target}>")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dlls} "${dir}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}/platforms" "${dir}/styles"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            "$<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>"
            "$<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin>" "${dir}/platforms"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            "$<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>" "${dir}/styles"
    VERBATIM)
endfunction()
