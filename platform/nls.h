// National-language services over glibc: code sets (iconv), locales
// (newlocale), message catalogues (catopen/catgets through our own search
// path), formatted printing and multibyte-safe string search.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <ctime>

// Opaque handles; a null handle means failure.
struct cvx_codeset;
struct cvx_locale_rec;
struct cvx_catalog;
using cvx_cs = cvx_codeset *;
using cvx_loc = cvx_locale_rec *;
using cvx_catd = cvx_catalog *;

int cvx_init();
void cvx_uninit();
// Directory of the services' own data files.
int cvx_set_dir(const char *dir);
// The current catalogue search path: our templates, then NLSPATH. The
// returned text is a heap copy the caller frees with free().
char *cvx_get_nlspath();
// Puts a template (with %L for the locale and %N for the name) first.
int cvx_prepend_nlspath(const char *tmpl);

cvx_loc cvx_loc_new(const char *name);
void cvx_loc_free(cvx_loc loc);
// flag 1: look the catalogue up for loc (0: the current locale); flag 0:
// default lookup. Null when no catalogue file is found.
cvx_catd cvx_catopen(const char *name, int flag, cvx_loc loc);
int cvx_catclose(cvx_catd cat);
// The message converted to cs (0: default code set) as a heap text the
// caller frees with free(), or the very pointer deftext when the catalogue
// or the message is missing.
char *cvx_catgets(cvx_catd cat, int set, int num, const char *deftext, cvx_cs cs);

// vsnprintf with XPG4 positional conversions ("%1$s", "%2$d"); never writes
// more than size bytes (NUL included). Returns the length written.
int cvx_vsprintf(cvx_cs cs, cvx_loc loc, char *buf, size_t size, const char *fmt, va_list args);

// "UTF8" names UTF-8; other names are iconv's. Null for unknown names.
cvx_cs cvx_cs_new(const char *name);
void cvx_cs_free(cvx_cs cs);
// The process code set (from the current LC_CTYPE); a shared handle that is
// never freed by callers.
cvx_cs cvx_get_def_cs();
const char *cvx_cs_name(cvx_cs cs);

// srclen -1: up to the NUL. Always NUL-terminates dst (when dstsize > 0).
// Returns bytes written (without the NUL) or -1 on a conversion error.
int cvx_to_utf8(cvx_cs cs, const char *src, int srclen, char *dst, int dstsize);
int cvx_from_utf8(cvx_cs cs, const char *src, int srclen, char *dst, int dstsize);

char *cvx_strchr(cvx_cs cs, const char *s, int c);
char *cvx_strrchr(cvx_cs cs, const char *s, int c);
char *cvx_strstr(cvx_cs cs, const char *s, const char *sub);

size_t cvx_strftime(cvx_cs cs, cvx_loc loc, char *buf, size_t size, const char *fmt, const struct tm *tm);
char *cvx_strptime(cvx_cs cs, cvx_loc loc, const char *s, const char *fmt, struct tm *tm);
