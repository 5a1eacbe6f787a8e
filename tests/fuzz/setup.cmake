# The setup's and the uninstaller's readers of outside bytes: uninst.ini and
# its removal plan, the INI editor, the command line, the setup's own payload
# loader and name check (against the scripted runtime of the logic tests).
add_fuzz_target(fuzz_ini_text fuzz_ini_text.cpp)
target_sources(fuzz_ini_text PRIVATE ${CMAKE_SOURCE_DIR}/runtime/win32/ini_text.cpp)
add_fuzz_target(fuzz_switches fuzz_switches.cpp setup_logic)
add_fuzz_target(fuzz_setup_payload fuzz_setup_payload.cpp setup_logic lib_data rt_core payload_format ${ZLIB_LIBS})
target_sources(fuzz_setup_payload PRIVATE ${CMAKE_SOURCE_DIR}/tests/setup/scripted_runtime.cpp)
add_executable(seed_setup seed_setup.cpp)
target_link_libraries(seed_setup PRIVATE payload_format ${ZLIB_LIBS})
