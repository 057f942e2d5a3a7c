// kxtest_resmodule.dll carries resources only.
typedef int kxtest_resmodule_has_no_code;
