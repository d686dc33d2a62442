// Puts the build-time rank blob into the library's read-only data as it is, so the table costs
// no parsing and no allocation when the process starts.
#ifndef OSA_TIKTOKEN_BLOB_PATH
#error "OSA_TIKTOKEN_BLOB_PATH must name the blob that make_rank_blob writes"
#endif

__asm__(
    ".section .rodata\n"
    ".balign 16\n"
    ".global osa_tiktoken_o200k_blob\n"
    "osa_tiktoken_o200k_blob:\n"
    ".incbin \"" OSA_TIKTOKEN_BLOB_PATH
    "\"\n"
    "osa_tiktoken_o200k_blob_end:\n"
    ".balign 4\n"
    ".global osa_tiktoken_o200k_blob_size\n"
    "osa_tiktoken_o200k_blob_size:\n"
    ".int osa_tiktoken_o200k_blob_end - osa_tiktoken_o200k_blob\n"
    ".previous\n");
