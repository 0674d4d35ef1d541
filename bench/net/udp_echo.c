/* The reference for round-trip figures: the least a UDP receiver can do is send each datagram back.
 * Usage: udp_echo PORT [SECONDS]. Ends after SECONDS (default 300) so a forgotten one cannot linger.
 * Build: cc -O2 -Wall -Wextra -o udp_echo udp_echo.c
 */
#include <errno.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s PORT [SECONDS]\n", argv[0]);
        return 2;
    }
    const long port = strtol(argv[1], NULL, 10);
    const long seconds = argc > 2 ? strtol(argv[2], NULL, 10) : 300;
    if (port <= 0 || port > 65535 || seconds <= 0) {
        fprintf(stderr, "udp_echo: bad port or time\n");
        return 2;
    }

    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        perror("udp_echo: socket");
        return 1;
    }
    struct sockaddr_in self;
    memset(&self, 0, sizeof self);
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_ANY);
    self.sin_port = htons((unsigned short)port);
    if (bind(fd, (const struct sockaddr*)&self, sizeof self) < 0) {
        perror("udp_echo: bind");
        close(fd);
        return 1;
    }
    /* The default SIGALRM action ends the process: the time limit needs no handler. */
    alarm((unsigned)seconds);

    char buf[65536];
    for (;;) {
        struct sockaddr_in peer;
        socklen_t len = sizeof peer;
        const ssize_t n = recvfrom(fd, buf, sizeof buf, 0, (struct sockaddr*)&peer, &len);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            perror("udp_echo: recvfrom");
            close(fd);
            return 1;
        }
        /* A reply that cannot be sent shows up as a lost round trip at the client. */
        sendto(fd, buf, (size_t)n, 0, (const struct sockaddr*)&peer, len);
    }
}
