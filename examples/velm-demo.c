/*
 * velm-demo: what the library is for, in one run. It starts a local audit
 * service (velm-sink), sends audit events of all 17 predefined types from
 * several threads, takes the service away for a few seconds so that the
 * events spill into the disk cache, brings it back, watches the cache drain,
 * and checks that every event arrived.
 *
 *   velm-demo [-n EVENTS] [-t THREADS] [--outage SECONDS] [--https]
 *             [--dir DIR] [--clean] [--sink PATH] [--certs DIR]
 *
 * Each event carries its own "globalInstanceId" (demo-THREAD-SEQ), so the
 * service's record of accepted events tells which ones arrived and which
 * arrived twice. Exits 0 when nothing was lost, 1 when something was, 2 on
 * bad options or when the demo cannot run.
 */
#define _GNU_SOURCE /* mkdtemp, posix_spawn, nanosleep, strdup, nftw */
#include <arpa/inet.h>
#include <dirent.h>
#include <errno.h>
#include <ftw.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <velm/velm.h>

#include "audit_events.h"

#ifndef VELM_DEMO_SINK
#define VELM_DEMO_SINK "velm-sink"
#endif
#ifndef VELM_DEMO_SOURCE_DIR
#define VELM_DEMO_SOURCE_DIR "."
#endif

extern char **environ;

/* ---- Options -------------------------------------------------------------- */

static long numEvents = 10000;
static int numThreads = 4;
static int outageSeconds = 5;
static int https;
static int clean;
static const char *parentDir = "/tmp";
static char *workDir;
static const char *sinkPath = VELM_DEMO_SINK;
static const char *certDir;
static int tty;

static void usage(void) {
  fprintf(stderr,
          "usage: velm-demo [-n EVENTS] [-t THREADS] [--outage SECONDS] [--https]\n"
          "                 [--dir DIR] [--clean] [--sink PATH] [--certs DIR]\n"
          "  -n EVENTS         events to send (default 10000)\n"
          "  -t THREADS        sending threads (default 4)\n"
          "  --outage SECONDS  how long the service stays away, at least (default 5)\n"
          "  --https           talk HTTPS; certificates from tools/make-test-certs.sh\n"
          "  --dir DIR         where the run's directory (cache, logs, received events) goes (default /tmp)\n"
          "  --clean           remove the run's directory when nothing was lost\n"
          "  --sink PATH       the velm-sink program\n"
          "  --certs DIR       with --https: certificates already made by tools/make-test-certs.sh\n");
  exit(2);
}

static long number(const char *text, long min, long max) {
  char *end = NULL;
  errno = 0;
  long v = strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < min || v > max) {
    fprintf(stderr, "velm-demo: bad number '%s' (%ld to %ld)\n", text, min, max);
    exit(2);
  }
  return v;
}

static void parseArgs(int argc, char **argv) {
  for (int i = 1; i < argc; i++) {
    const char *a = argv[i];
    const char *v = i + 1 < argc ? argv[i + 1] : NULL;
    if (strcmp(a, "--https") == 0 || strcmp(a, "--clean") == 0) {
      *(a[2] == 'h' ? &https : &clean) = 1;
      continue;
    }
    if (v == NULL) usage();
    if (strcmp(a, "-n") == 0)
      numEvents = number(v, 1, 100000000);
    else if (strcmp(a, "-t") == 0)
      numThreads = (int)number(v, 1, 256);
    else if (strcmp(a, "--outage") == 0)
      outageSeconds = (int)number(v, 0, 3600);
    else if (strcmp(a, "--dir") == 0)
      parentDir = v;
    else if (strcmp(a, "--sink") == 0)
      sinkPath = v;
    else if (strcmp(a, "--certs") == 0)
      certDir = v;
    else
      usage();
    i++;
  }
}

/* ---- Small helpers -------------------------------------------------------- */

static double now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static void pauseMs(long ms) {
  struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

static void die(const char *what) {
  fprintf(stderr, "velm-demo: %s\n", what);
  exit(2);
}

static void printResult(const char *what) {
  for (int i = 0; i < res.numErrors; i++) fprintf(stderr, "velm-demo: %s: %s\n", what, res.errors[i].message);
  VELM_Result_Clean(&res);
}

static char *joinPath(const char *dir, const char *name) {
  size_t n = strlen(dir) + strlen(name) + 2;
  char *p = malloc(n);
  if (p == NULL) die("out of memory");
  snprintf(p, n, "%s/%s", dir, name);
  return p;
}

/* ---- The local audit service ---------------------------------------------- */

static pid_t sinkPid = -1;
static int sinkStdin = -1; /* closing it makes the sink exit */
static int sinkPort, controlPort;

/* Starts velm-sink on free ports and reads back "port N" and "control M". */
static void startSink(const char *eventsFile, const char *certs) {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) die("pipe failed");
  char *cert = certs != NULL ? joinPath(certs, "server.pem") : NULL;
  char *key = certs != NULL ? joinPath(certs, "server.key") : NULL;
  char *argv[16];
  int n = 0;
  argv[n++] = (char *)sinkPath;
  argv[n++] = "--events";
  argv[n++] = (char *)eventsFile;
  argv[n++] = "--exit-after";
  argv[n++] = "3600";
  if (certs != NULL) {
    argv[n++] = "--cert";
    argv[n++] = cert;
    argv[n++] = "--key";
    argv[n++] = key;
  }
  argv[n] = NULL;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  int rc = posix_spawn(&sinkPid, sinkPath, &actions, NULL, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  free(cert);
  free(key);
  close(in[0]);
  close(out[1]);
  if (rc != 0) {
    fprintf(stderr, "velm-demo: cannot start %s: %s\n", sinkPath, strerror(rc));
    exit(2);
  }
  sinkStdin = in[1];
  FILE *f = fdopen(out[0], "r");
  char line[128];
  while ((sinkPort == 0 || controlPort == 0) && f != NULL && fgets(line, sizeof line, f) != NULL) {
    if (strncmp(line, "port ", 5) == 0) sinkPort = atoi(line + 5);
    if (strncmp(line, "control ", 8) == 0) controlPort = atoi(line + 8);
  }
  if (f != NULL) fclose(f);
  if (sinkPort == 0 || controlPort == 0) die("velm-sink did not start");
}

static void stopSinkProcess(void) {
  if (sinkPid <= 0) return;
  close(sinkStdin);
  for (int i = 0; i < 2000; i++) { /* up to 20 s */
    if (waitpid(sinkPid, NULL, WNOHANG) == sinkPid) {
      sinkPid = -1;
      return;
    }
    pauseMs(10);
  }
  kill(sinkPid, SIGKILL);
  waitpid(sinkPid, NULL, 0);
  sinkPid = -1;
}

/* One request to the sink's control port; returns the body in buf. */
static int control(const char *method, const char *path, const char *body, char *buf, size_t size) {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return -1;
  struct timeval tv = {30, 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  struct sockaddr_in addr = {0};
  addr.sin_family = AF_INET;
  addr.sin_port = htons((uint16_t)controlPort);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, (struct sockaddr *)&addr, sizeof addr) != 0) {
    close(s);
    return -1;
  }
  char req[512];
  int len = snprintf(req, sizeof req,
                     "%s %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                     "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: %zu\r\n\r\n%s",
                     method, path, strlen(body), body);
  if (send(s, req, (size_t)len, MSG_NOSIGNAL) != len) {
    close(s);
    return -1;
  }
  size_t got = 0;
  for (;;) {
    ssize_t r = recv(s, buf + got, size - 1 - got, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += (size_t)r;
    if (got == size - 1) break;
  }
  close(s);
  buf[got] = '\0';
  char *bodyStart = strstr(buf, "\r\n\r\n");
  if (strncmp(buf, "HTTP/1.1 200", 12) != 0 || bodyStart == NULL) return -1;
  memmove(buf, bodyStart + 4, strlen(bodyStart + 4) + 1);
  return 0;
}

static void setSinkMode(const char *mode) {
  char body[64], reply[256];
  snprintf(body, sizeof body, "mode=%s", mode);
  if (control("POST", "/control", body, reply, sizeof reply) != 0) die("the sink refused a mode change");
}

/* The number of events the sink has written to its file. */
static long sinkEvents(void) {
  char reply[1024];
  if (control("GET", "/stats", "", reply, sizeof reply) != 0) return -1;
  const char *p = strstr(reply, "events ");
  return p != NULL ? atol(p + 7) : -1;
}

/* ---- The cache directory -------------------------------------------------- */

static char *cacheDir;
static int peakFiles;
static long long peakBytes;

struct CacheState {
  int files;
  long long bytes;
  int undrained; /* files whose checkpoint is short of their end */
};

/* Cache files are "batch.<time>.<n>"; a file of 10 bytes holds only its
 * checkpoint and nothing to send. */
static struct CacheState cacheState(void) {
  struct CacheState st = {0, 0, 0};
  DIR *d = opendir(cacheDir);
  if (d == NULL) return st;
  struct dirent *e;
  while ((e = readdir(d)) != NULL) {
    if (strncmp(e->d_name, "batch.", 6) != 0) continue;
    char *p = joinPath(cacheDir, e->d_name);
    struct stat s;
    if (stat(p, &s) == 0 && S_ISREG(s.st_mode)) {
      st.files++;
      st.bytes += (long long)s.st_size;
      /* The first 10 bytes are the offset of the first record not yet sent. */
      char ckpt[11] = {0};
      FILE *f = fopen(p, "rb");
      if (f != NULL) {
        if (fread(ckpt, 1, 10, f) == 10 && atoll(ckpt) < (long long)s.st_size) st.undrained++;
        fclose(f);
      }
    }
    free(p);
  }
  closedir(d);
  if (st.bytes > peakBytes) {
    peakBytes = st.bytes;
    peakFiles = st.files;
  }
  return st;
}

/* ---- The senders ---------------------------------------------------------- */

/* Senders stop at two gates: before the outage and during it. */
static atomic_int gate;
static atomic_int atGate[3];
static atomic_long sent, sendFailures;
static VELM_AuditClient *client;

struct Sender {
  pthread_t thread;
  int index;
  long count; /* events of this thread */
};

static void waitForGate(int g) {
  atomic_fetch_add(&atGate[g], 1);
  while (atomic_load(&gate) < g) pauseMs(5);
}

static void *sender(void *arg) {
  struct Sender *s = arg;
  long firstStop = s->count * 2 / 5, secondStop = s->count * 4 / 5;
  double outageStart = 0;
  for (long i = 0; i < s->count; i++) {
    if (i == firstStop) {
      waitForGate(1);
      outageStart = now();
    }
    if (i == secondStop) waitForGate(2);
    /* During the outage the events are spread over most of it, so that the
     * cache files can be seen growing. */
    if (i >= firstStop && i < secondStop && secondStop > firstStop) {
      double due =
          outageStart + 0.75 * outageSeconds * (double)(i - firstStop) / (double)(secondStop - firstStop);
      double ahead = due - now();
      if (ahead > 0) pauseMs((long)(ahead * 1000));
    }
    VELM_AuditEvent *ev = build((int)((i * numThreads + s->index) % NUM_EVENT_TYPES));
    char id[64];
    snprintf(id, sizeof id, "demo-%d-%ld", s->index, i);
    if (VELM_AuditEvent_AddStringElement(ev, "globalInstanceId", id, 1, &res) == NULL ||
        VELM_AuditClient_SendEvent(client, ev, &res) != 0) {
      printResult(id);
      VELM_AuditEvent_Delete(ev, &res);
      atomic_fetch_add(&sendFailures, 1);
    }
    VELM_Result_Clean(&res);
    atomic_fetch_add(&sent, 1);
  }
  if (firstStop >= s->count) waitForGate(1);
  if (secondStop >= s->count) waitForGate(2);
  return NULL;
}

/* ---- Progress ------------------------------------------------------------- */

static double started;

static void progress(const char *phase, int force) {
  static double lastPlain;
  double t = now();
  if (!tty && !force && t - lastPlain < 0.5) return;
  lastPlain = t;
  VELM_DeliveryStats st = {0};
  VELM_AuditClient_GetStats(client, &st, &res);
  VELM_Result_Clean(&res);
  struct CacheState c = cacheState();
  char line[256];
  snprintf(line, sizeof line, "%5.1fs %-24s sent %ld/%ld  delivered %llu  cache %d file%s %lld bytes",
           t - started, phase, atomic_load(&sent), numEvents, (unsigned long long)st.eventsDelivered, c.files,
           c.files == 1 ? "," : "s,", c.bytes);
  if (tty)
    printf("\r%-100s", line);
  else
    printf("%s\n", line);
  fflush(stdout);
}

static void endProgressLine(void) {
  if (tty) printf("\n");
}

/* ---- What arrived --------------------------------------------------------- */

struct Tally {
  long delivered;  /* distinct demo events received */
  long duplicates; /* receptions beyond the first */
  long foreign;    /* lines that are not demo events */
};

static struct Tally tallyEvents(const char *eventsFile, struct Sender *senders) {
  struct Tally t = {0, 0, 0};
  unsigned char **seen = calloc((size_t)numThreads, sizeof *seen);
  if (seen == NULL) die("out of memory");
  for (int i = 0; i < numThreads; i++) {
    seen[i] = calloc((size_t)senders[i].count + 1, 1);
    if (seen[i] == NULL) die("out of memory");
  }
  FILE *f = fopen(eventsFile, "r");
  if (f != NULL) {
    /* Lines carry whole events; only the id before the tab matters here. */
    char *line = NULL;
    size_t cap = 0;
    while (getline(&line, &cap, f) > 0) {
      int th = -1;
      long seq = -1;
      char tail = 0;
      if (sscanf(line, "demo-%d-%ld%c", &th, &seq, &tail) == 3 && tail == '\t' && th >= 0 &&
          th < numThreads && seq >= 0 && seq < senders[th].count) {
        if (seen[th][seq]++ == 0)
          t.delivered++;
        else
          t.duplicates++;
      } else {
        t.foreign++;
      }
    }
    free(line);
    fclose(f);
  }
  for (int i = 0; i < numThreads; i++) free(seen[i]);
  free(seen);
  return t;
}

static int removeEntry(const char *path, const struct stat *st, int type, struct FTW *ftw) {
  (void)st, (void)type, (void)ftw;
  return remove(path);
}

/* ---- Main ----------------------------------------------------------------- */

int main(int argc, char **argv) {
  parseArgs(argc, argv);
  tty = isatty(STDOUT_FILENO);
  signal(SIGPIPE, SIG_IGN);

  /* A fresh directory per run: cache files an earlier run left behind would
   * be sent again and muddle the count. */
  if (mkdir(parentDir, 0700) != 0 && errno != EEXIST) die("cannot create the --dir directory");
  workDir = joinPath(parentDir, "velm-demo-XXXXXX");
  if (mkdtemp(workDir) == NULL) die("cannot create the run's directory");
  char *eventsFile = joinPath(workDir, "received-events.txt");
  char *traceFile = joinPath(workDir, "trace.log");
  char *errorFile = joinPath(workDir, "error.log");
  cacheDir = joinPath(workDir, "cache");
  char *cachePath = joinPath(cacheDir, "batch");
  if (mkdir(cacheDir, 0700) != 0 && errno != EEXIST) die("cannot create the cache directory");

  char *certs = NULL;
  if (https) {
    certs = certDir != NULL ? strdup(certDir) : joinPath(workDir, "certs");
    if (certDir == NULL) {
      /* The script makes a test CA, a server certificate for 127.0.0.1 and a
       * PKCS#12 trust store with its password file. */
      char *cmd = malloc(strlen(certs) + strlen(VELM_DEMO_SOURCE_DIR) + 64);
      if (cmd == NULL) die("out of memory");
      sprintf(cmd, "'%s/tools/make-test-certs.sh' '%s' >/dev/null", VELM_DEMO_SOURCE_DIR, certs);
      if (system(cmd) != 0) die("tools/make-test-certs.sh failed");
      free(cmd);
    }
  }

  startSink(eventsFile, certs);
  char url[128];
  snprintf(url, sizeof url, "%s://127.0.0.1:%d/velmws/services/Emitter", https ? "https" : "http", sinkPort);
  printf("velm-demo: %ld events of 17 types from %d threads to %s\n", numEvents, numThreads, url);
  printf("velm-demo: disk cache in %s/\n", cacheDir);

  /* Quick retries and a short rebind interval, so that the outage is seen
   * within a second or two and the cache drains as soon as the service is
   * back; small cache files, so that several of them fill up. With "auto" a
   * full queue also sends events to the cache; the queue is made large
   * enough that this does not happen while the service is up, at the
   * default count. */
  int32_t one = 1, two = 2, retries = 1, fileSize = 65536, queueSize = 5000, hiWater = 200, transfer = 50,
          noLimit = -1;
  char *keyStore = certs != NULL ? joinPath(certs, "store.p12") : NULL;
  char *stash = certs != NULL ? joinPath(certs, "password.txt") : NULL;
  VELM_Property props[32] = {
      {"serverURL", VELM_VT_STRING, url},
      {"useDiskCache", VELM_VT_STRING, "auto"},
      {"diskCachePath", VELM_VT_STRING, cachePath},
      {"errorFilePath", VELM_VT_STRING, errorFile},
      {"traceFilePath", VELM_VT_STRING, traceFile},
      {"elementCodeSet", VELM_VT_STRING, "UTF8"},
      {"numberEQThreads", VELM_VT_INTEGER, &two},
      {"numberCMThreads", VELM_VT_INTEGER, &two},
      {"numberRetries", VELM_VT_INTEGER, &retries},
      {"retryInterval", VELM_VT_INTEGER, &one},
      {"rebindInterval", VELM_VT_INTEGER, &one},
      {"flushInterval", VELM_VT_INTEGER, &one},
      {"maxCacheFileSize", VELM_VT_INTEGER, &fileSize},
      {"queueSize", VELM_VT_INTEGER, &queueSize},
      {"hiWater", VELM_VT_INTEGER, &hiWater},
      {"transferSize", VELM_VT_INTEGER, &transfer},
      {"shutDownTimeout", VELM_VT_INTEGER, &noLimit},
      {NULL, 0, NULL},
  };
  if (keyStore != NULL) {
    int n = 0;
    while (props[n].name != NULL) n++;
    props[n++] = (VELM_Property){"keyFilePath", VELM_VT_STRING, keyStore};
    props[n++] = (VELM_Property){"stashFilePath", VELM_VT_STRING, stash};
    props[n] = (VELM_Property){NULL, 0, NULL};
  }
  ctx = VELM_AuditClientContext_Create(props, &res);
  if (ctx == NULL) {
    printResult("context");
    stopSinkProcess();
    return 2;
  }
  printResult("context");
  client = VELM_AuditClient_Create(ctx, &res);
  if (client == NULL) {
    printResult("client");
    VELM_AuditClientContext_Delete(ctx, &res);
    stopSinkProcess();
    return 2;
  }
  printResult("client");

  struct Sender *senders = calloc((size_t)numThreads, sizeof *senders);
  if (senders == NULL) die("out of memory");
  started = now();
  for (int i = 0; i < numThreads; i++) {
    senders[i].index = i;
    senders[i].count = numEvents / numThreads + (i < numEvents % numThreads ? 1 : 0);
    if (pthread_create(&senders[i].thread, NULL, sender, &senders[i]) != 0) die("cannot start a thread");
  }

  /* 1. The service is up: the first 40% go straight through. */
  double limit = now() + 120;
  for (;;) {
    VELM_DeliveryStats st = {0};
    VELM_AuditClient_GetStats(client, &st, &res);
    VELM_Result_Clean(&res);
    if (atomic_load(&atGate[1]) == numThreads && (long)st.eventsDelivered >= atomic_load(&sent)) break;
    if (now() > limit) {
      endProgressLine();
      printf("velm-demo: the service took more than two minutes; going on\n");
      break;
    }
    progress("service up", 0);
    pauseMs(100);
  }
  progress("service up", 1);
  endProgressLine();
  double directTime = now() - started;
  long directEvents = atomic_load(&sent);

  /* 2. The service goes away; the next 40% spill into the cache. */
  printf("velm-demo: stopping the service for %d seconds\n", outageSeconds);
  setSinkMode("stopped");
  double outageStart = now();
  VELM_DeliveryStats before = {0};
  VELM_AuditClient_GetStats(client, &before, &res);
  VELM_Result_Clean(&res);
  atomic_store(&gate, 1);
  /* The outage lasts until every event sent meanwhile is in the cache (the
   * retries take a second or two), and at least --outage seconds. */
  for (;;) {
    VELM_DeliveryStats st = {0};
    VELM_AuditClient_GetStats(client, &st, &res);
    VELM_Result_Clean(&res);
    long inOutage = atomic_load(&sent) - directEvents;
    int allSent = atomic_load(&atGate[2]) == numThreads;
    if (allSent && now() - outageStart >= outageSeconds &&
        (long)(st.eventsCached - before.eventsCached + st.eventsDiscarded - before.eventsDiscarded) >=
            inOutage)
      break;
    if (allSent && now() - outageStart > outageSeconds + 60) break;
    progress("service down, caching", 0);
    pauseMs(100);
  }
  progress("service down, caching", 1);
  endProgressLine();

  /* 3. Back again: the cache drains while the last 20% go out. */
  printf("velm-demo: starting the service again\n");
  setSinkMode("ok");
  atomic_store(&gate, 2);
  for (int i = 0; i < numThreads; i++) pthread_join(senders[i].thread, NULL);

  /* Everything accepted should reach the service; wait for it (up to two
   * minutes) so that the client is not deleted with the cache half drained. */
  long accepted = atomic_load(&sent) - atomic_load(&sendFailures);
  double drainLimit = now() + 120;
  while (now() < drainLimit) {
    long got = sinkEvents();
    if (got >= accepted && tallyEvents(eventsFile, senders).delivered >= accepted) break;
    progress("service up, draining", 0);
    pauseMs(100);
  }
  progress("service up, draining", 1);
  endProgressLine();
  double deliveredAt = now();

  VELM_DeliveryStats st = {0};
  VELM_AuditClient_GetStats(client, &st, &res);
  VELM_Result_Clean(&res);
  if (VELM_AuditClient_Delete(client, &res) != 0 || res.numErrors > 0) printResult("client deletion");
  VELM_AuditClientContext_Delete(ctx, &res);
  VELM_Result_Clean(&res);
  struct CacheState after = cacheState();
  stopSinkProcess();

  struct Tally t = tallyEvents(eventsFile, senders);
  long total = atomic_load(&sent);
  long lost = total - t.delivered;
  /* Delivered counts every accepted request's events, the resends from the
   * cache among them; what was not delivered directly came from the cache. */
  long long direct = (long long)st.eventsAccepted - (long long)st.eventsCached;
  long long resent = (long long)st.eventsDelivered - direct;
  if (resent < 0) resent = 0;
  double elapsed = deliveredAt - started;

  printf("\nsummary\n");
  printf("  events sent:         %ld (%ld refused by the library)\n", total, atomic_load(&sendFailures));
  printf("  delivered:           %ld\n", t.delivered);
  printf("  cached and resent:   %llu cached, %lld resent (cache peaked at %d files, %lld bytes)\n",
         (unsigned long long)st.eventsCached, resent, peakFiles, peakBytes);
  if (after.undrained == 0)
    printf("  cache files left:    %d (nothing in them left to send)\n", after.files);
  else
    printf("  cache files left:    %d (%d with records to send; the next run on this cache sends them)\n",
           after.files, after.undrained);
  printf("  duplicates:          %ld\n", t.duplicates);
  printf("  discarded:           %llu\n", (unsigned long long)st.eventsDiscarded);
  if (t.foreign > 0) printf("  unknown ids received: %ld\n", t.foreign);
  printf(
      "  throughput:          %.0f events/s with the service up (%ld events in %.1f s); "
      "all delivered %.1f s after the start\n",
      directTime > 0 ? (double)directEvents / directTime : 0.0, directEvents, directTime, elapsed);
  printf("  trace:               %s\n", traceFile);
  printf("  error log:           %s\n", errorFile);
  printf("  received events:     %s\n", eventsFile);
  if (clean && lost == 0) {
    nftw(workDir, removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    printf("  (--clean: %s removed)\n", workDir);
  }
  printf("lost: %ld\n", lost);
  free(senders);
  free(keyStore);
  free(stash);
  free(certs);
  free(cachePath);
  free(cacheDir);
  free(errorFile);
  free(traceFile);
  free(eventsFile);
  free(workDir);
  return lost == 0 ? 0 : 1;
}
