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

/* Kinds of classes. */
#define QLG_KIND_LOGGER 101
#define QLG_KIND_FILTER 102
#define QLG_KIND_HANDLER 103
#define QLG_KIND_FORMATTER 104

/* A catalogue message: catalogue name (or NULL), set, key and the default
 * text used when the catalogue or the entry is missing. */
typedef struct QlgMsgDesc {
  const char *catalog;
  int set;
  int key;
  const char *text;
} QlgMsgDesc;

/* Class operations. They run with the API lock held, so they must not call
 * the public Qlg functions; every pointer they get is borrowed for the call.
 * allocVars returns the per-object class state (QlgGetObjClassVars). */
typedef void *(*QlgAllocVarsFn)(QlgObject *object);
typedef void (*QlgFreeVarsFn)(QlgObject *object, void *vars);
/* Called after every property change with the property name. */
typedef void (*QlgCfgChangeFn)(QlgObject *object, const char *propName);
typedef void (*QlgLogFn)(QlgObject *logger, QlgEvent *event);
typedef void (*QlgProcessFn)(QlgObject *object, QlgEvent *event);
/* 1: the event passes the filter. */
typedef int (*QlgIsLoggableFn)(QlgObject *filter, QlgEvent *event);
/* 1: the handler is ready to write. */
typedef int (*QlgOpenFn)(QlgObject *handler);
typedef void (*QlgCloseFn)(QlgObject *handler);
/* Formatter texts are malloc'd UTF-8 (NULL: nothing), freed by the toolkit. */
typedef char *(*QlgFormatFn)(QlgObject *formatter, QlgEvent *event);
typedef char *(*QlgHeaderFn)(QlgObject *formatter);
typedef char *(*QlgTrailerFn)(QlgObject *formatter);
/* Renders the event's message. */
typedef char *(*QlgBindFn)(QlgObject *formatter, QlgEvent *event);

/* @section api (filled by the toolkit) */

/* Level of a name ("WARN", "debug_max", "MIN"...) or a leading decimal
 * integer; NULL or an unknown name gives QLG_LEVEL_ALWAYS. */
QLG_API int QlgGetLevelFromString(const char *text);
/* 1 when object exists, is enabled and level passes its level. Lock-free;
 * the caller must hold a reference to object. */
QLG_API int QlgIsLoggable(QlgObject *object, int level);
/* Opens the toolkit, reading propertiesFile (NULL: none) into the
 * configuration manager. 1 on success (also when already open), 0 on failure. */
QLG_API int QlgOpenToolkit(const char *propertiesFile);
/* Releases the registry's hold on every object and drops the configurations.
 * Objects still held by callers stay usable until released. */
QLG_API void QlgCloseToolkit(void);

/* Logging calls. The variable part is a typed list: (code, value) pairs
 * ended by QLG_END; QLG_PROPERTY, name, code, value sets an event property;
 * a level code alone overrides the event's level. Return 1 when an event
 * went to the logger, 0 otherwise. Message-style calls take a catalogue
 * (or NULL), set, key and default text. */
QLG_API int QlgLogMsg(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
QLG_API int QlgLogMsgVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                        va_list args);
QLG_API int QlgLogInfo(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
QLG_API int QlgLogInfoVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                         va_list args);
QLG_API int QlgLogWarn(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
QLG_API int QlgLogWarnVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                         va_list args);
QLG_API int QlgLogError(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
QLG_API int QlgLogErrorVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                          va_list args);
QLG_API int QlgLogFatal(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
QLG_API int QlgLogFatalVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                          va_list args);
/* Trace-style calls: srcFile and function (either may be NULL) become the
 * event properties "qlg_prop_srcfile", "qlg_prop_srcline", "qlg_prop_srcfunction". */
QLG_API int QlgLogDebugMin(QlgObject *logger, const char *srcFile, const char *function, int line,
                           const char *format, ...);
QLG_API int QlgLogDebugMinVA(QlgObject *logger, const char *srcFile, const char *function, int line,
                             const char *format, va_list args);
QLG_API int QlgLogDebugMid(QlgObject *logger, const char *srcFile, const char *function, int line,
                           const char *format, ...);
QLG_API int QlgLogDebugMidVA(QlgObject *logger, const char *srcFile, const char *function, int line,
                             const char *format, va_list args);
QLG_API int QlgLogDebugMax(QlgObject *logger, const char *srcFile, const char *function, int line,
                           const char *format, ...);
QLG_API int QlgLogDebugMaxVA(QlgObject *logger, const char *srcFile, const char *function, int line,
                             const char *format, va_list args);
QLG_API int QlgLogText(QlgObject *logger, const char *format, ...);
QLG_API int QlgLogTextVA(QlgObject *logger, const char *format, va_list args);
/* The log function of the logger's class, NULL for non-loggers. */
QLG_API QlgLogFn QlgLoggerGetFLog(QlgObject *logger);

/* Classes. Registering a taken name does nothing. description may be NULL.
 * Return 1 when registered (or already present), 0 on failure. */
QLG_API int QlgAddLoggerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                              QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgLogFn log);
QLG_API int QlgAddFilterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                              QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process,
                              QlgIsLoggableFn isLoggable, QlgLogFn log);
QLG_API int QlgAddHandlerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                               QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process,
                               QlgOpenFn open, QlgCloseFn close);
QLG_API int QlgAddFormatterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                                 QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgFormatFn format,
                                 QlgHeaderFn getHeader, QlgTrailerFn getTrailer, QlgBindFn bind);
/* Iterators over class names (borrowed const char* items); free with QlgIterFree. */
QLG_API QlgIterator *QlgGetLoggerClasses(void);
QLG_API QlgIterator *QlgGetFilterClasses(void);
QLG_API QlgIterator *QlgGetHandlerClasses(void);
QLG_API QlgIterator *QlgGetFormatterClasses(void);

/* Objects. QlgGetObject finds or creates the object (className NULL: take
 * "className" from the configuration of the same name) and returns it held
 * by the caller, who releases it with QlgReleaseObject; NULL on failure. */
QLG_API QlgObject *QlgGetObject(const char *name, const char *className);
QLG_API void QlgAcquireObject(QlgObject *object);
QLG_API void QlgReleaseObject(QlgObject *object);
/* Copies the caller frees with QlgFree; NULL for a bad object. */
QLG_API char *QlgGetObjectName(QlgObject *object);
QLG_API char *QlgGetObjectDesc(QlgObject *object);
QLG_API int QlgAreObjectsEqual(QlgObject *a, QlgObject *b);
QLG_API int QlgIsObjectEnabled(QlgObject *object);
QLG_API void QlgSetObjectEnabled(QlgObject *object, int enabled);
/* 1 when the filter (its class test) lets event through. */
QLG_API int QlgIsLoggableByFilter(QlgObject *filter, QlgEvent *event);
/* The class state made by the class's allocVars (for class operations). */
QLG_API void *QlgGetObjClassVars(QlgObject *object);

/* Properties. QlgGetObjProp returns a copy (free with QlgFree) or NULL and
 * sets *found (may be NULL). Typed getters return defaultValue when the
 * property is missing or does not parse. Setters store text and run the
 * class's property handling; a NULL value removes the property. Return 1 on
 * success, 0 on failure. */
QLG_API char *QlgGetObjProp(QlgObject *object, const char *name, int *found);
QLG_API int QlgGetObjPropBool(QlgObject *object, const char *name, int defaultValue);
QLG_API int QlgGetObjPropInt(QlgObject *object, const char *name, int defaultValue);
QLG_API long long QlgGetObjPropLong(QlgObject *object, const char *name, long long defaultValue);
QLG_API float QlgGetObjPropFloat(QlgObject *object, const char *name, float defaultValue);
QLG_API double QlgGetObjPropDouble(QlgObject *object, const char *name, double defaultValue);
QLG_API int QlgSetObjProp(QlgObject *object, const char *name, const char *value);
QLG_API int QlgSetObjPropBool(QlgObject *object, const char *name, int value);
QLG_API int QlgSetObjPropInt(QlgObject *object, const char *name, int value);
QLG_API int QlgSetObjPropLong(QlgObject *object, const char *name, long long value);
QLG_API int QlgSetObjPropFloat(QlgObject *object, const char *name, float value);
QLG_API int QlgSetObjPropDouble(QlgObject *object, const char *name, double value);

/* Listeners: each object at most once, in the order added, each held by
 * the list. Return 1 on success, 0 on failure. */
QLG_API int QlgAddListener(QlgObject *object, QlgObject *listener);
QLG_API int QlgRemListener(QlgObject *object, QlgObject *listener);
/* Iterator over the object's listeners, or NULL when it has no list. */
QLG_API QlgIterator *QlgGetListeners(QlgObject *object);
/* Next item (a borrowed QlgObject* for listener iterators, a borrowed
 * const char* for name iterators), or NULL at the end. Items stay valid
 * until QlgIterFree. */
QLG_API void *QlgIterNext(QlgIterator *iterator);
QLG_API void QlgIterFree(QlgIterator *iterator);
/* Frees texts the toolkit hands out (names, property copies). */
QLG_API void QlgFree(void *memory);

/* Configurations: named property sets that inherit along dotted names.
 * QlgAllocObjCfg returns a new configuration held by the caller (release
 * with QlgReleaseObjCfg); name and parent getters return copies (QlgFree). */
QLG_API QlgObjCfg *QlgAllocObjCfg(const char *name);
QLG_API void QlgAcquireObjCfg(QlgObjCfg *cfg);
QLG_API void QlgReleaseObjCfg(QlgObjCfg *cfg);
QLG_API char *QlgObjCfgGetName(QlgObjCfg *cfg);
/* The parent's name ("/" for the root), resolved along the dotted name. */
QLG_API char *QlgObjCfgGetParent(QlgObjCfg *cfg);
QLG_API int QlgObjCfgSetParent(QlgObjCfg *cfg, const char *parentName);
QLG_API int QlgObjCfgAddChild(QlgObjCfg *cfg, const char *childName);
QLG_API int QlgObjCfgRemChild(QlgObjCfg *cfg, const char *childName);
QLG_API QlgIterator *QlgObjCfgChildrenNames(QlgObjCfg *cfg);
QLG_API int QlgObjCfgIsFromFile(QlgObjCfg *cfg);
QLG_API void QlgObjCfgSetFromFile(QlgObjCfg *cfg, int fromFile);
QLG_API char *QlgGetObjCfgProp(QlgObjCfg *cfg, const char *name, int *found);
QLG_API int QlgGetObjCfgPropBool(QlgObjCfg *cfg, const char *name, int defaultValue);
QLG_API int QlgGetObjCfgPropInt(QlgObjCfg *cfg, const char *name, int defaultValue);
QLG_API long long QlgGetObjCfgPropLong(QlgObjCfg *cfg, const char *name, long long defaultValue);
QLG_API float QlgGetObjCfgPropFloat(QlgObjCfg *cfg, const char *name, float defaultValue);
QLG_API double QlgGetObjCfgPropDouble(QlgObjCfg *cfg, const char *name, double defaultValue);
/* NULL value removes the property. */
QLG_API int QlgSetObjCfgProp(QlgObjCfg *cfg, const char *name, const char *value);
QLG_API int QlgSetObjCfgPropBool(QlgObjCfg *cfg, const char *name, int value);
QLG_API int QlgSetObjCfgPropInt(QlgObjCfg *cfg, const char *name, int value);
QLG_API int QlgSetObjCfgPropLong(QlgObjCfg *cfg, const char *name, long long value);
QLG_API int QlgSetObjCfgPropFloat(QlgObjCfg *cfg, const char *name, float value);
QLG_API int QlgSetObjCfgPropDouble(QlgObjCfg *cfg, const char *name, double value);
/* The value of cfg or of its nearest ancestor that has one (copy, QlgFree). */
QLG_API char *QlgGetInheritedObjCfgProp(QlgObjCfg *cfg, const char *name, int *found);
/* Iterator over the configuration's own property names. */
QLG_API QlgIterator *QlgObjCfgProperties(QlgObjCfg *cfg);

/* Configuration manager. QlgLogMgrGetCfg finds or creates the configuration
 * (NULL for "/" or NULL) and returns it borrowed: the manager keeps it until
 * it is removed or the toolkit closes. */
QLG_API int QlgLogMgrAddCfg(QlgObjCfg *cfg);
QLG_API int QlgLogMgrRemCfg(const char *name);
QLG_API int QlgLogMgrUpdateCfg(QlgObjCfg *cfg);
QLG_API QlgObjCfg *QlgLogMgrGetCfg(const char *name);
QLG_API int QlgLogMgrHasCfg(const char *name);
QLG_API QlgIterator *QlgLogMgrConfigNames(void);
/* Sets the properties of cfgName and its ancestors (root-most first) on object. */
QLG_API int QlgLogMgrApplyCfg(QlgObject *object, const char *cfgName);
/* Reads a properties file into configurations; 1 only when all of it was read. */
QLG_API int QlgLogMgrReadProps(const char *file);
/* @end api */

#ifdef __cplusplus
}
#endif

#endif /* QLG_H */
