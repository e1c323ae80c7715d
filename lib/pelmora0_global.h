#ifndef PELMORA0_GLOBAL_H
#define PELMORA0_GLOBAL_H

#include <QtCore/qglobal.h>

#if defined(PELMORA0_LIBRARY)
#  define PELMORA0_EXPORT Q_DECL_EXPORT
#else
#  define PELMORA0_EXPORT Q_DECL_IMPORT
#endif

#endif // PELMORA0_GLOBAL_H
