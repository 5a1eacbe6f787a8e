add_fuzz_target(fuzz_decompress fuzz_decompress.cpp lib_data rt_core)
add_fuzz_target(fuzz_split fuzz_split.cpp rt_core)
