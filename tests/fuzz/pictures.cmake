# Picture decoders, one target per file kind, plus the dispatching loader.
add_fuzz_target(fuzz_picture_bmp fuzz_picture_bmp.cpp pictures)
add_fuzz_target(fuzz_picture_jpeg fuzz_picture_jpeg.cpp pictures)
add_fuzz_target(fuzz_picture_png fuzz_picture_png.cpp pictures)
add_fuzz_target(fuzz_picture_gif fuzz_picture_gif.cpp pictures)
add_fuzz_target(fuzz_picture_pcx fuzz_picture_pcx.cpp pictures)
add_fuzz_target(fuzz_picture_ico fuzz_picture_ico.cpp pictures)
add_fuzz_target(fuzz_picture_load fuzz_picture_load.cpp pictures)
# Seed files for the targets above, made by the same writers the tests use;
# scripts/fuzz runs seed_* programs into its corpus folder before fuzzing.
if(TARGET test_pictures_make)
  add_executable(seed_pictures seed_pictures.cpp)
  target_link_libraries(seed_pictures PRIVATE test_pictures_make)
endif()
