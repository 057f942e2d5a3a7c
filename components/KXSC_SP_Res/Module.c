/* KXSC_SP_Res.dll holds resources only; this empty unit gives the linker something to build. */
typedef int kxsc_sp_res_has_no_code;
