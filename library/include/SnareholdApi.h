#pragma once
// One export macro for the interface Snarehold.dll offers the program. The
// library's own tests link its objects directly (SNAREHOLD_STATIC): for them
// it marks nothing, and they reach the internals, which are never exported.
#if defined(SNAREHOLD_STATIC)
#define SNAREHOLD_API
#elif defined(SNAREHOLD_EXPORTS)
#define SNAREHOLD_API __declspec(dllexport)
#else
#define SNAREHOLD_API __declspec(dllimport)
#endif
