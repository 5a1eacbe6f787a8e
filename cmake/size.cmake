# Size of the shipped executables. Every function and every datum in its own
# section, and the linker drops the sections nothing reaches: the runtime,
# the decoders and the static C++ library bring much that the setup never
# calls. Only for size-optimised Windows builds (the shipped ones); tests and
# host builds are left as they are.
if(WIN32 AND CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
  add_compile_options(-ffunction-sections -fdata-sections)
  # No thread initialises a function's static: window and dialog callbacks
  # run on the thread that made the window, and the one other thread the
  # setup starts only reads its own mapped payload. The guarded form would
  # bring the threads library (some 35 KB).
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fno-threadsafe-statics>)
  add_link_options(-Wl,--gc-sections)
  # The 32-bit build is the one that ships. Its code is also kept in the
  # compiler's own form, and the shipped programs are optimised whole at link
  # time (see shipped_program): the linker alone cannot drop an unused C++
  # function there, because the unwind tables name every function of an
  # object it takes. The test programs link the ordinary code beside it.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(SETUP_WHOLE_PROGRAM ON)
    add_compile_options(-flto -ffat-lto-objects)
    # Without the linker plugin the test programs link the ordinary code
    # (with it, the plugin would optimise every one of them whole). A
    # -fno-lto here would also switch off the shipped programs' -flto.
    add_link_options(-fno-use-linker-plugin)
  endif()
endif()

# The C++ and support libraries of the compiler variant built on Windows'
# own threads, when it is installed. The shipped programs start no thread
# through the C++ library and their code makes no call into a threads
# library, so they link those instead: the POSIX variant's libraries lock
# through a threads library of their own (some 30 KB) for exception handling
# alone. Tests and tools keep the POSIX variant, which has std::thread.
if(SETUP_WHOLE_PROGRAM)
  string(REGEX REPLACE "-posix$" "-win32" SETUP_WIN32_THREADS_CXX "${CMAKE_CXX_COMPILER}")
  if(NOT SETUP_WIN32_THREADS_CXX STREQUAL CMAKE_CXX_COMPILER)
    execute_process(COMMAND ${SETUP_WIN32_THREADS_CXX} -print-file-name=libstdc++.a
                    OUTPUT_VARIABLE SETUP_WIN32_THREADS_LIB OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(SETUP_WIN32_THREADS_LIB AND IS_ABSOLUTE "${SETUP_WIN32_THREADS_LIB}")
      get_filename_component(SETUP_WIN32_THREADS_DIR "${SETUP_WIN32_THREADS_LIB}" DIRECTORY)
    endif()
  endif()
endif()

# A program that ships: optimised as a whole where the build allows it. One
# partition: this compiler fails on these programs when it splits them.
function(shipped_program target)
  if(SETUP_WHOLE_PROGRAM)
    target_link_options(${target} PRIVATE -flto=2 -flto-partition=one -fuse-linker-plugin)
  endif()
  if(SETUP_WIN32_THREADS_DIR)
    # Searched before the compiler's own folder.
    target_link_options(${target} PRIVATE -L${SETUP_WIN32_THREADS_DIR})
  endif()
endfunction()
