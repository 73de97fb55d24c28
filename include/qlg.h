/**
 * @file qlg.h
 * @brief The logging toolkit: named, reference-counted loggers, filters,
 * handlers and formatters, configured by text properties.
 *
 * Objects (loggers, filters, handlers, formatters) are made from registered
 * classes and found by name; each is reference-counted: QlgGetObject and
 * QlgAcquireObject take a hold, QlgReleaseObject gives it back. Objects are
 * configured by text properties, set directly or taken from named
 * configurations that inherit along dotted names (a.b inherits from a) and
 * can be read from a properties file. A logger passes each event to its
 * listeners (handlers, filters), a handler writes it through its formatter.
 *
 * Threads: any thread may call any function. Every call takes the
 * toolkit's single API lock for its duration, except QlgIsLoggable, which
 * is lock-free, and the logging calls, which take it only around the steps
 * that need it. Class operations (the callbacks of the Add...Class calls)
 * run with the lock held and must not call the toolkit.
 *
 * Memory: texts the toolkit hands out are released with QlgFree, iterators
 * with QlgIterFree, holds on objects with QlgReleaseObject and on
 * configurations with QlgReleaseObjCfg.
 */
#ifndef QLG_H
#define QLG_H

#include <stdarg.h>

/** @cond INTERNAL */
#if defined(__GNUC__)
#define QLG_API __attribute__((visibility("default")))
#else
#define QLG_API
#endif
/** @endcond */

#ifdef __cplusplus
extern "C" {
#endif

/** @defgroup qlg_types Levels, type codes and types
 * @{ */

/* Levels: higher is more severe. */
#define QLG_LEVEL_FATAL 7000     /**< an error the program cannot go on after */
#define QLG_LEVEL_ERROR 6000     /**< an error */
#define QLG_LEVEL_WARN 5000      /**< a warning */
#define QLG_LEVEL_INFO 4000      /**< information */
#define QLG_LEVEL_DEBUG_MIN 3000 /**< the least detailed trace */
#define QLG_LEVEL_DEBUG_MID 2000 /**< medium trace detail */
#define QLG_LEVEL_DEBUG_MAX 1000 /**< the most detailed trace */
#define QLG_LEVEL_ALL 0          /**< as an object's level: let every event through */
#define QLG_LEVEL_OFF 9999       /**< as an object's level: let no ordinary event through */
#define QLG_LEVEL_ALWAYS (-9999) /**< an event logged whatever the object's level */

/* Type codes of the typed parameter lists; a list ends with QLG_END. */
#define QLG_END 0        /**< ends a typed parameter list */
#define QLG_BOOL 501     /**< followed by an int (0 or 1) */
#define QLG_INT 502      /**< followed by an int */
#define QLG_LONG 503     /**< followed by a long */
#define QLG_FLOAT 504    /**< followed by a double (float is promoted) */
#define QLG_DOUBLE 505   /**< followed by a double */
#define QLG_CHAR 506     /**< followed by an int holding a character */
#define QLG_STRING 507   /**< followed by a const char * */
#define QLG_PROPERTY 201 /**< followed by a name, a type code and a value: sets an event property */

/** A toolkit object: logger, filter, handler or formatter. Reference-counted;
 * see QlgGetObject, QlgAcquireObject and QlgReleaseObject. */
typedef struct QlgObject QlgObject;
/** One logging event as it travels from a logger to its listeners; borrowed
 * by the class operations for the duration of the call. */
typedef struct QlgEvent QlgEvent;
/** A named configuration: a property set that inherits along dotted names. */
typedef struct QlgObjCfg QlgObjCfg;
/** A snapshot list of names or objects; read with QlgIterNext, free with QlgIterFree. */
typedef struct QlgIterator QlgIterator;

/* Kinds of classes. */
#define QLG_KIND_LOGGER 101    /**< class kind of loggers */
#define QLG_KIND_FILTER 102    /**< class kind of filters */
#define QLG_KIND_HANDLER 103   /**< class kind of handlers */
#define QLG_KIND_FORMATTER 104 /**< class kind of formatters */

/** A catalogue message: catalogue name (or NULL), set, key and the default
 * text used when the catalogue or the entry is missing. */
typedef struct QlgMsgDesc {
  const char *catalog; /**< message catalogue name, or NULL for the default text only */
  int set;             /**< set number in the catalogue */
  int key;             /**< message number in the set */
  const char *text;    /**< default text when the catalogue or the entry is missing */
} QlgMsgDesc;

/* Class operations. They run with the API lock held, so they must not call
 * the public Qlg functions; every pointer they get is borrowed for the call. */
/** Makes the per-object class state of a new object (see QlgGetObjClassVars); NULL for none. */
typedef void *(*QlgAllocVarsFn)(QlgObject *object);
/** Releases the class state made by QlgAllocVarsFn when the object goes. */
typedef void (*QlgFreeVarsFn)(QlgObject *object, void *vars);
/** Called after every property change with the property name. */
typedef void (*QlgCfgChangeFn)(QlgObject *object, const char *propName);
/** A logger's log operation: passes the event on. */
typedef void (*QlgLogFn)(QlgObject *logger, QlgEvent *event);
/** A filter's or handler's processing of one event. */
typedef void (*QlgProcessFn)(QlgObject *object, QlgEvent *event);
/** A filter's test: 1 when the event passes the filter. */
typedef int (*QlgIsLoggableFn)(QlgObject *filter, QlgEvent *event);
/** Opens a handler's output: 1 when the handler is ready to write. */
typedef int (*QlgOpenFn)(QlgObject *handler);
/** Closes a handler's output. */
typedef void (*QlgCloseFn)(QlgObject *handler);
/** Formats one event: a malloc'd UTF-8 text (NULL: nothing), freed by the toolkit. */
typedef char *(*QlgFormatFn)(QlgObject *formatter, QlgEvent *event);
/** The text written when a handler's output opens (malloc'd, NULL: none). */
typedef char *(*QlgHeaderFn)(QlgObject *formatter);
/** The text written when a handler's output closes (malloc'd, NULL: none). */
typedef char *(*QlgTrailerFn)(QlgObject *formatter);
/** Renders the event's message (malloc'd UTF-8, freed by the toolkit). */
typedef char *(*QlgBindFn)(QlgObject *formatter, QlgEvent *event);

/** @} */

/** @defgroup qlg_toolkit Toolkit and levels
 * @{ */

/** Level of a name ("WARN", "debug_max", "MIN"...) or a leading decimal
 * integer; NULL or an unknown name gives QLG_LEVEL_ALWAYS. Any thread. */
QLG_API int QlgGetLevelFromString(const char *text);
/** 1 when object exists, is enabled and level passes its level, else 0.
 * Lock-free, so cheap enough to guard every logging call; the caller must
 * hold a reference to object. Any thread. */
QLG_API int QlgIsLoggable(QlgObject *object, int level);
/** Opens the toolkit, reading propertiesFile (NULL: none) into the
 * configuration manager. 1 on success (also when already open), 0 on
 * failure. Any thread. */
QLG_API int QlgOpenToolkit(const char *propertiesFile);
/** Releases the registry's hold on every object and drops the
 * configurations. Objects still held by callers stay usable until released.
 * Any thread. */
QLG_API void QlgCloseToolkit(void);

/** @} */

/** @defgroup qlg_logging Logging calls
 *
 * The variable part of each call is a typed list: (code, value) pairs ended
 * by QLG_END; QLG_PROPERTY, name, code, value sets an event property; a
 * level code alone overrides the event's level. Each call returns 1 when an
 * event went to the logger, 0 otherwise (logger not loggable at the call's
 * level, bad logger). Message-style calls take a catalogue (or NULL), set,
 * key and default text; trace-style calls a source file, function and line,
 * which become the event properties "qlg_prop_srcfile", "qlg_prop_srcline"
 * and "qlg_prop_srcfunction". The ...VA forms take the list as a va_list,
 * which they consume. The caller holds a reference to the logger; every
 * text is borrowed for the call. Any thread may log.
 * @{ */

/** Logs a catalogue message at level QLG_LEVEL_ALWAYS. 1 when logged, 0 otherwise. */
QLG_API int QlgLogMsg(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
/** QlgLogMsg with a va_list. 1 when logged, 0 otherwise. */
QLG_API int QlgLogMsgVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                        va_list args);
/** Logs a catalogue message at QLG_LEVEL_INFO. 1 when logged, 0 otherwise. */
QLG_API int QlgLogInfo(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
/** QlgLogInfo with a va_list. 1 when logged, 0 otherwise. */
QLG_API int QlgLogInfoVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                         va_list args);
/** Logs a catalogue message at QLG_LEVEL_WARN. 1 when logged, 0 otherwise. */
QLG_API int QlgLogWarn(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
/** QlgLogWarn with a va_list. 1 when logged, 0 otherwise. */
QLG_API int QlgLogWarnVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                         va_list args);
/** Logs a catalogue message at QLG_LEVEL_ERROR. 1 when logged, 0 otherwise. */
QLG_API int QlgLogError(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
/** QlgLogError with a va_list. 1 when logged, 0 otherwise. */
QLG_API int QlgLogErrorVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                          va_list args);
/** Logs a catalogue message at QLG_LEVEL_FATAL. 1 when logged, 0 otherwise. */
QLG_API int QlgLogFatal(QlgObject *logger, const char *catalog, int set, int key, const char *text, ...);
/** QlgLogFatal with a va_list. 1 when logged, 0 otherwise. */
QLG_API int QlgLogFatalVA(QlgObject *logger, const char *catalog, int set, int key, const char *text,
                          va_list args);
/** Logs a printf-style trace line at QLG_LEVEL_DEBUG_MIN; srcFile and
 * function may be NULL. 1 when logged, 0 otherwise. */
QLG_API int QlgLogDebugMin(QlgObject *logger, const char *srcFile, const char *function, int line,
                           const char *format, ...);
/** QlgLogDebugMin with a va_list. 1 when logged, 0 otherwise. */
QLG_API int QlgLogDebugMinVA(QlgObject *logger, const char *srcFile, const char *function, int line,
                             const char *format, va_list args);
/** Logs a printf-style trace line at QLG_LEVEL_DEBUG_MID. 1 when logged, 0 otherwise. */
QLG_API int QlgLogDebugMid(QlgObject *logger, const char *srcFile, const char *function, int line,
                           const char *format, ...);
/** QlgLogDebugMid with a va_list. 1 when logged, 0 otherwise. */
QLG_API int QlgLogDebugMidVA(QlgObject *logger, const char *srcFile, const char *function, int line,
                             const char *format, va_list args);
/** Logs a printf-style trace line at QLG_LEVEL_DEBUG_MAX. 1 when logged, 0 otherwise. */
QLG_API int QlgLogDebugMax(QlgObject *logger, const char *srcFile, const char *function, int line,
                           const char *format, ...);
/** QlgLogDebugMax with a va_list. 1 when logged, 0 otherwise. */
QLG_API int QlgLogDebugMaxVA(QlgObject *logger, const char *srcFile, const char *function, int line,
                             const char *format, va_list args);
/** Logs a printf-style text at QLG_LEVEL_ALWAYS, without source location.
 * 1 when logged, 0 otherwise. */
QLG_API int QlgLogText(QlgObject *logger, const char *format, ...);
/** QlgLogText with a va_list. 1 when logged, 0 otherwise. */
QLG_API int QlgLogTextVA(QlgObject *logger, const char *format, va_list args);
/** The log function of the logger's class, NULL for a non-logger or a bad
 * object. Any thread. */
QLG_API QlgLogFn QlgLoggerGetFLog(QlgObject *logger);

/** @} */

/** @defgroup qlg_classes Classes
 *
 * A class gives objects of one kind their behaviour. Registering a name
 * that is taken does nothing. description may be NULL.
 * @{ */

/** Registers a logger class. 1 when registered (or already present), 0 on failure. Any thread. */
QLG_API int QlgAddLoggerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                              QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgLogFn log);
/** Registers a filter class. 1 when registered (or already present), 0 on failure. Any thread. */
QLG_API int QlgAddFilterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                              QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process,
                              QlgIsLoggableFn isLoggable, QlgLogFn log);
/** Registers a handler class. 1 when registered (or already present), 0 on failure. Any thread. */
QLG_API int QlgAddHandlerClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                               QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgProcessFn process,
                               QlgOpenFn open, QlgCloseFn close);
/** Registers a formatter class. 1 when registered (or already present), 0 on failure. Any thread. */
QLG_API int QlgAddFormatterClass(const char *name, const QlgMsgDesc *description, QlgAllocVarsFn allocVars,
                                 QlgFreeVarsFn freeVars, QlgCfgChangeFn cfgChange, QlgFormatFn format,
                                 QlgHeaderFn getHeader, QlgTrailerFn getTrailer, QlgBindFn bind);
/** Iterator over the names of the logger classes (borrowed const char *
 * items); free it with QlgIterFree. NULL when memory ran out. Any thread. */
QLG_API QlgIterator *QlgGetLoggerClasses(void);
/** Iterator over the names of the filter classes; free it with QlgIterFree. Any thread. */
QLG_API QlgIterator *QlgGetFilterClasses(void);
/** Iterator over the names of the handler classes; free it with QlgIterFree. Any thread. */
QLG_API QlgIterator *QlgGetHandlerClasses(void);
/** Iterator over the names of the formatter classes; free it with QlgIterFree. Any thread. */
QLG_API QlgIterator *QlgGetFormatterClasses(void);

/** @} */

/** @defgroup qlg_objects Objects
 * @{ */

/** Finds or creates the object called name (className NULL: take
 * "className" from the configuration of the same name) and returns it with a
 * hold for the caller, who gives it back with QlgReleaseObject. NULL on
 * failure (no such class, or name already taken by an object of another
 * class). Any thread. */
QLG_API QlgObject *QlgGetObject(const char *name, const char *className);
/** Takes one more hold on object (give it back with QlgReleaseObject). A
 * bad object is ignored. Any thread. */
QLG_API void QlgAcquireObject(QlgObject *object);
/** Gives back one hold on object; the object goes when the last hold does.
 * The caller must not use object afterwards unless it holds another
 * reference. Any thread. */
QLG_API void QlgReleaseObject(QlgObject *object);
/** The object's name as a copy the caller frees with QlgFree; NULL for a
 * bad object. Any thread. */
QLG_API char *QlgGetObjectName(QlgObject *object);
/** The description of the object's class, rendered, as a copy the caller
 * frees with QlgFree; NULL for a bad object or a class without one. Any thread. */
QLG_API char *QlgGetObjectDesc(QlgObject *object);
/** 1 when a and b are the same live object, else 0. Any thread. */
QLG_API int QlgAreObjectsEqual(QlgObject *a, QlgObject *b);
/** 1 when the object is enabled, 0 when disabled or bad. Any thread. */
QLG_API int QlgIsObjectEnabled(QlgObject *object);
/** Enables (non-zero) or disables (0) the object; a disabled object lets
 * no event through. A bad object is ignored. Any thread. */
QLG_API void QlgSetObjectEnabled(QlgObject *object, int enabled);
/** 1 when the filter (its class test) lets event through, else 0. Any thread. */
QLG_API int QlgIsLoggableByFilter(QlgObject *filter, QlgEvent *event);
/** The class state made by the class's allocVars (for class operations);
 * borrowed, owned by the object. NULL for a bad object or none. */
QLG_API void *QlgGetObjClassVars(QlgObject *object);

/** @} */

/** @defgroup qlg_props Object properties
 *
 * Properties are texts. Typed getters return defaultValue when the property
 * is missing or does not parse. Setters store the text and run the class's
 * property handling (QlgCfgChangeFn); a NULL value removes the property.
 * Any thread may call them; the caller holds a reference to the object.
 * @{ */

/** The property's text as a copy the caller frees with QlgFree, or NULL;
 * *found (found may be NULL) says whether the property exists. */
QLG_API char *QlgGetObjProp(QlgObject *object, const char *name, int *found);
/** The property as a boolean (1 or 0), or defaultValue. */
QLG_API int QlgGetObjPropBool(QlgObject *object, const char *name, int defaultValue);
/** The property as an int, or defaultValue. */
QLG_API int QlgGetObjPropInt(QlgObject *object, const char *name, int defaultValue);
/** The property as a long long, or defaultValue. */
QLG_API long long QlgGetObjPropLong(QlgObject *object, const char *name, long long defaultValue);
/** The property as a float, or defaultValue. */
QLG_API float QlgGetObjPropFloat(QlgObject *object, const char *name, float defaultValue);
/** The property as a double, or defaultValue. */
QLG_API double QlgGetObjPropDouble(QlgObject *object, const char *name, double defaultValue);
/** Sets the property to a copy of value (NULL removes it). 1 on success, 0 on failure. */
QLG_API int QlgSetObjProp(QlgObject *object, const char *name, const char *value);
/** Sets the property to "true" or "false". 1 on success, 0 on failure. */
QLG_API int QlgSetObjPropBool(QlgObject *object, const char *name, int value);
/** Sets the property to the decimal text of value. 1 on success, 0 on failure. */
QLG_API int QlgSetObjPropInt(QlgObject *object, const char *name, int value);
/** Sets the property to the decimal text of value. 1 on success, 0 on failure. */
QLG_API int QlgSetObjPropLong(QlgObject *object, const char *name, long long value);
/** Sets the property to the text of value. 1 on success, 0 on failure. */
QLG_API int QlgSetObjPropFloat(QlgObject *object, const char *name, float value);
/** Sets the property to the text of value. 1 on success, 0 on failure. */
QLG_API int QlgSetObjPropDouble(QlgObject *object, const char *name, double value);

/** @} */

/** @defgroup qlg_listeners Listeners and iterators
 * @{ */

/** Adds listener to the object's listeners (each object at most once, in
 * the order added); the list takes its own hold on listener. 1 on success,
 * 0 on failure. Any thread. */
QLG_API int QlgAddListener(QlgObject *object, QlgObject *listener);
/** Removes listener from the object's listeners and gives back the list's
 * hold. 1 when it was a listener, 0 otherwise. Any thread. */
QLG_API int QlgRemListener(QlgObject *object, QlgObject *listener);
/** Iterator over a snapshot of the object's listeners (it holds each of
 * them until freed), or NULL when the object has no list. Free it with
 * QlgIterFree. Any thread. */
QLG_API QlgIterator *QlgGetListeners(QlgObject *object);
/** Next item (a borrowed QlgObject* for listener iterators, a borrowed
 * const char* for name iterators), or NULL at the end. Items stay valid
 * until QlgIterFree. One thread at a time per iterator. */
QLG_API void *QlgIterNext(QlgIterator *iterator);
/** Frees the iterator and gives back its holds; NULL is ignored. The items
 * it returned are invalid afterwards. */
QLG_API void QlgIterFree(QlgIterator *iterator);
/** Frees texts the toolkit hands out (names, property copies); NULL is
 * ignored. Any thread. */
QLG_API void QlgFree(void *memory);

/** @} */

/** @defgroup qlg_cfg Configurations
 *
 * Configurations are named property sets that inherit along dotted names
 * ("a.b" inherits from "a"; "/" is the root). A configuration made with
 * QlgAllocObjCfg is held by the caller until QlgReleaseObjCfg; the
 * configuration manager (QlgLogMgrAddCfg) keeps a hold of its own. Texts
 * returned are copies the caller frees with QlgFree. Any thread may call
 * these functions.
 * @{ */

/** A new configuration called name, held by the caller (release it with
 * QlgReleaseObjCfg). NULL for a NULL name or when memory ran out. */
QLG_API QlgObjCfg *QlgAllocObjCfg(const char *name);
/** Takes one more hold on cfg (give it back with QlgReleaseObjCfg). */
QLG_API void QlgAcquireObjCfg(QlgObjCfg *cfg);
/** Gives back one hold on cfg; it goes with the last hold. */
QLG_API void QlgReleaseObjCfg(QlgObjCfg *cfg);
/** The configuration's name (copy, QlgFree), or NULL for a bad cfg. */
QLG_API char *QlgObjCfgGetName(QlgObjCfg *cfg);
/** The parent's name ("/" for the root), resolved along the dotted name
 * unless set with QlgObjCfgSetParent (copy, QlgFree); NULL for a bad cfg. */
QLG_API char *QlgObjCfgGetParent(QlgObjCfg *cfg);
/** Sets the parent's name (NULL: back to the dotted name's parent). 1 on
 * success, 0 for a bad cfg. */
QLG_API int QlgObjCfgSetParent(QlgObjCfg *cfg, const char *parentName);
/** Records childName as a child. 1 on success, 0 on failure. */
QLG_API int QlgObjCfgAddChild(QlgObjCfg *cfg, const char *childName);
/** Removes childName from the children. 1 when it was one, 0 otherwise. */
QLG_API int QlgObjCfgRemChild(QlgObjCfg *cfg, const char *childName);
/** Iterator over the children's names; free it with QlgIterFree. NULL for a bad cfg. */
QLG_API QlgIterator *QlgObjCfgChildrenNames(QlgObjCfg *cfg);
/** 1 when the configuration came from a properties file, else 0. */
QLG_API int QlgObjCfgIsFromFile(QlgObjCfg *cfg);
/** Marks the configuration as read from a file (non-zero) or not. */
QLG_API void QlgObjCfgSetFromFile(QlgObjCfg *cfg, int fromFile);
/** The configuration's own property (copy, QlgFree), or NULL; *found (found
 * may be NULL) says whether it exists. Parents are not consulted. */
QLG_API char *QlgGetObjCfgProp(QlgObjCfg *cfg, const char *name, int *found);
/** The property as a boolean, or defaultValue when missing or unparsable. */
QLG_API int QlgGetObjCfgPropBool(QlgObjCfg *cfg, const char *name, int defaultValue);
/** The property as an int, or defaultValue when missing or unparsable. */
QLG_API int QlgGetObjCfgPropInt(QlgObjCfg *cfg, const char *name, int defaultValue);
/** The property as a long long, or defaultValue when missing or unparsable. */
QLG_API long long QlgGetObjCfgPropLong(QlgObjCfg *cfg, const char *name, long long defaultValue);
/** The property as a float, or defaultValue when missing or unparsable. */
QLG_API float QlgGetObjCfgPropFloat(QlgObjCfg *cfg, const char *name, float defaultValue);
/** The property as a double, or defaultValue when missing or unparsable. */
QLG_API double QlgGetObjCfgPropDouble(QlgObjCfg *cfg, const char *name, double defaultValue);
/** Sets the property to a copy of value; a NULL value removes it. 1 on
 * success, 0 on failure. */
QLG_API int QlgSetObjCfgProp(QlgObjCfg *cfg, const char *name, const char *value);
/** Sets the property to "true" or "false". 1 on success, 0 on failure. */
QLG_API int QlgSetObjCfgPropBool(QlgObjCfg *cfg, const char *name, int value);
/** Sets the property to the decimal text of value. 1 on success, 0 on failure. */
QLG_API int QlgSetObjCfgPropInt(QlgObjCfg *cfg, const char *name, int value);
/** Sets the property to the decimal text of value. 1 on success, 0 on failure. */
QLG_API int QlgSetObjCfgPropLong(QlgObjCfg *cfg, const char *name, long long value);
/** Sets the property to the text of value. 1 on success, 0 on failure. */
QLG_API int QlgSetObjCfgPropFloat(QlgObjCfg *cfg, const char *name, float value);
/** Sets the property to the text of value. 1 on success, 0 on failure. */
QLG_API int QlgSetObjCfgPropDouble(QlgObjCfg *cfg, const char *name, double value);
/** The value of cfg or of its nearest ancestor that has one (copy, QlgFree),
 * or NULL; *found (found may be NULL) says whether one was found. */
QLG_API char *QlgGetInheritedObjCfgProp(QlgObjCfg *cfg, const char *name, int *found);
/** Iterator over the configuration's own property names; free it with
 * QlgIterFree. NULL for a bad cfg. */
QLG_API QlgIterator *QlgObjCfgProperties(QlgObjCfg *cfg);

/** @} */

/** @defgroup qlg_mgr Configuration manager
 *
 * The manager keeps the configurations by name until they are removed or
 * the toolkit closes. Any thread may call these functions.
 * @{ */

/** Adds cfg, replacing one of the same name; the manager takes a hold of
 * its own, the caller keeps its hold. 1 on success, 0 for a bad cfg or the
 * name "/". */
QLG_API int QlgLogMgrAddCfg(QlgObjCfg *cfg);
/** Removes the configuration called name and gives back the manager's
 * hold. 1 when there was one, 0 otherwise. */
QLG_API int QlgLogMgrRemCfg(const char *name);
/** Replaces the manager's configuration of cfg's name with cfg. 1 on
 * success, 0 on failure. */
QLG_API int QlgLogMgrUpdateCfg(QlgObjCfg *cfg);
/** Finds or creates the configuration called name and returns it borrowed:
 * the manager keeps it until it is removed or the toolkit closes (take a
 * hold with QlgAcquireObjCfg to keep it longer). NULL for "/" or NULL. */
QLG_API QlgObjCfg *QlgLogMgrGetCfg(const char *name);
/** 1 when the manager has a configuration called name, else 0. */
QLG_API int QlgLogMgrHasCfg(const char *name);
/** Iterator over the names of the manager's configurations; free it with
 * QlgIterFree. */
QLG_API QlgIterator *QlgLogMgrConfigNames(void);
/** Sets the properties of cfgName and its ancestors (root-most first) on
 * object. 1 on success, 0 on failure. */
QLG_API int QlgLogMgrApplyCfg(QlgObject *object, const char *cfgName);
/** Reads a properties file into configurations; 1 only when all of it was
 * read, 0 otherwise. */
QLG_API int QlgLogMgrReadProps(const char *file);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* QLG_H */
