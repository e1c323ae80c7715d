#ifndef PELMORA0_GLOBAL_H
#define PELMORA0_GLOBAL_H

#include <QtCore/qglobal.h>

// The headers need C++17: their static constexpr members are inline variables, which
// an older standard would leave without a definition at link time.
#if defined(_MSVC_LANG) ? _MSVC_LANG < 201703L : __cplusplus < 201703L
#  error "Pelmora0 needs C++17 or later"
#endif

#if defined(PELMORA0_LIBRARY)
#  define PELMORA0_EXPORT Q_DECL_EXPORT
#else
#  define PELMORA0_EXPORT Q_DECL_IMPORT
#endif

#endif // PELMORA0_GLOBAL_H
