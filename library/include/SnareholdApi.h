#pragma once
// One export macro for everything Snarehold.dll offers its callers.
#ifdef SNAREHOLD_EXPORTS
#define SNAREHOLD_API __declspec(dllexport)
#else
#define SNAREHOLD_API __declspec(dllimport)
#endif
