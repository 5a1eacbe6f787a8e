# The packer's readers of outside bytes: PE images, payloads and file lists.
add_fuzz_target(fuzz_pe_resources fuzz_pe_resources.cpp pe_resources)
add_fuzz_target(fuzz_payload_format fuzz_payload_format.cpp payload_format ${ZLIB_LIBS})
add_fuzz_target(fuzz_stream_split fuzz_stream_split.cpp payload_format ${ZLIB_LIBS})
add_fuzz_target(fuzz_file_list fuzz_file_list.cpp mksetup_core)
