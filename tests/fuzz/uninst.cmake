# The uninstaller's reader of the record the setup leaves ("uninst.ini").
add_fuzz_target(fuzz_uninst_record fuzz_uninst_record.cpp uninst_record)
