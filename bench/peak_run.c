/* peak-run PROGRAM [ARGS...]: runs the program (its output to /dev/null) and prints its peak
   resident memory in KiB. A child's peak counts what its process held before exec too, so a
   launcher as large as a Python interpreter would lift every small program to its own size; this
   one is small and static. Exits with the program's status (128 + signal when killed). */
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    fputs("usage: peak-run PROGRAM [ARGS...]\n", stderr);
    return 2;
  }
  pid_t child = fork();
  if (child < 0) return 2;
  if (child == 0) {
    int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) dup2(null_fd, STDOUT_FILENO);
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) != child) return 2;
  printf("%ld\n", usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
