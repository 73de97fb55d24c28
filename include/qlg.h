/*
 * qlg.h - the logging toolkit: named, reference-counted loggers, filters,
 * handlers and formatters, configured by text properties.
 *
 * Every public call takes the toolkit's single API lock for its duration,
 * except QlgIsLoggable, which is lock-free.
 */
#ifndef QLG_H
#define QLG_H

#include <stdarg.h>

#if defined(__GNUC__)
#define QLG_API __attribute__((visibility("default")))
#else
#define QLG_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Levels: higher is more severe. */
#define QLG_LEVEL_FATAL 7000
#define QLG_LEVEL_ERROR 6000
#define QLG_LEVEL_WARN 5000
#define QLG_LEVEL_INFO 4000
#define QLG_LEVEL_DEBUG_MIN 3000
#define QLG_LEVEL_DEBUG_MID 2000
#define QLG_LEVEL_DEBUG_MAX 1000
#define QLG_LEVEL_ALL 0
#define QLG_LEVEL_OFF 9999
#define QLG_LEVEL_ALWAYS (-9999)

/* Type codes of the typed parameter lists; a list ends with QLG_END. */
#define QLG_END 0
#define QLG_BOOL 501
#define QLG_INT 502
#define QLG_LONG 503
#define QLG_FLOAT 504
#define QLG_DOUBLE 505
#define QLG_CHAR 506
#define QLG_STRING 507
#define QLG_PROPERTY 201

typedef struct QlgObject QlgObject;
typedef struct QlgEvent QlgEvent;
typedef struct QlgObjCfg QlgObjCfg;
typedef struct QlgIterator QlgIterator;

/* @section api (filled by the toolkit) */
QLG_API int QlgGetLevelFromString(const char *text);
QLG_API int QlgIsLoggable(QlgObject *object, int level);
QLG_API int QlgOpenToolkit(const char *propertiesFile);
QLG_API void QlgCloseToolkit(void);

QLG_API int QlgLogDebugMin(QlgObject *logger, const char *srcFile, const char *function, int line,
                           const char *format, ...);
QLG_API int QlgLogDebugMinVA(QlgObject *logger, const char *srcFile, const char *function, int line,
                             const char *format, va_list args);

QLG_API QlgObject *QlgGetObject(const char *name, const char *className);
QLG_API void QlgAcquireObject(QlgObject *object);
QLG_API void QlgReleaseObject(QlgObject *object);
QLG_API int QlgSetObjProp(QlgObject *object, const char *name, const char *value);
QLG_API int QlgSetObjPropInt(QlgObject *object, const char *name, int value);
QLG_API int QlgAddListener(QlgObject *object, QlgObject *listener);
/* Iterator over the object's listeners, or NULL when it has no list. */
QLG_API QlgIterator *QlgGetListeners(QlgObject *object);
/* Next item (a borrowed QlgObject* for listener iterators, a borrowed
 * const char* for name iterators), or NULL at the end. */
QLG_API void *QlgIterNext(QlgIterator *iterator);
QLG_API void QlgIterFree(QlgIterator *iterator);
/* Frees texts the toolkit hands out (names, property copies). */
QLG_API void QlgFree(void *memory);
/* @end api */

#ifdef __cplusplus
}
#endif

#endif /* QLG_H */
