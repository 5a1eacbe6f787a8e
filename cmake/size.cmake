# Size of the shipped executables. Every function and every datum in its own
# section, and the linker drops the sections nothing reaches: the runtime,
# the decoders and the static C++ library bring much that the setup never
# calls. Only for size-optimised Windows builds (the shipped ones); tests and
# host builds are left as they are.
if(WIN32 AND CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
  add_compile_options(-ffunction-sections -fdata-sections)
  add_link_options(-Wl,--gc-sections)
endif()
