#pragma once
// What the benchmarks share: CPU time and resident size, running events until something
// happens, random bytes, and a raw pseudo-terminal whose slave a link opens by its path.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <pty.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace bench {

// CPU seconds of the whole process (RUSAGE_SELF) or of the calling thread (RUSAGE_THREAD).
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline long residentKb()
{
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// Runs events until done() or the time is up; the milliseconds it took, -1 on time-out.
inline double runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return -1;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return double(t.nsecsElapsed()) / 1e6;
}

inline std::string randomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = char(gen() & 0xFF);
    return s;
}

// A pseudo-terminal with both ends raw. The benchmark plays the device on the master; the
// program under test opens the slave by its path, as it opens /dev/ttyUSB0. Exits when the
// system has none to give.
struct RawPty {
    int master = -1, slave = -1;
    std::string path;

    explicit RawPty(bool nonBlockingMaster = false)
    {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            std::exit(1);
        }
        termios tio{};
        for (int fd : {master, slave}) {
            ::tcgetattr(fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        if (nonBlockingMaster)
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        path = name;
    }
    // Once the program has the slave open, the benchmark's own copy can go.
    void closeSlave()
    {
        if (slave >= 0)
            ::close(slave);
        slave = -1;
    }
    ~RawPty()
    {
        closeSlave();
        ::close(master);
    }
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;
};

} // namespace bench
