// The program is built with -Os, where GCC would call small helpers instead
// of inlining them and copy with rep movs. Expansion is the one place where
// speed counts: its innermost helpers are marked with these.
#pragma once

#if defined(__GNUC__)
#define QP_LIKELY(x) __builtin_expect(!!(x), 1)
#define QP_UNLIKELY(x) __builtin_expect(!!(x), 0)
#define QP_HOT_INLINE inline __attribute__((always_inline))
#else
#define QP_LIKELY(x) (x)
#define QP_UNLIKELY(x) (x)
#define QP_HOT_INLINE inline
#endif
