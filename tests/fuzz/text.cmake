# The shared text rules: GBK stepping, the name rule and the install directory.
add_fuzz_target(fuzz_text_rules fuzz_text_rules.cpp text_rules)
