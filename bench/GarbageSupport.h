#pragma once
// What the garbage benchmarks share: the resident size, running events until something
// happens, and the random bytes.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <string>

namespace garbage {

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

} // namespace garbage
