// A process-wide object built on first use under the platform's one-time
// initialisation, so that concurrent first calls wait for one construction.
#pragma once

#include <windows.h>
#include <memory>

namespace win32 {

template <typename T>
class ProcessWide {
public:
    template <typename Factory>
    std::shared_ptr<T> Get(Factory&& make)
    {
        BOOL pending = FALSE;
        if (!InitOnceBeginInitialize(&m_once, 0, &pending, nullptr))
            return m_instance;
        if (pending) {
            try {
                m_instance = make();
            } catch (...) {
                InitOnceComplete(&m_once, INIT_ONCE_INIT_FAILED, nullptr);
                throw;
            }
            InitOnceComplete(&m_once, 0, nullptr);
        }
        return m_instance;
    }

private:
    INIT_ONCE m_once = INIT_ONCE_STATIC_INIT;
    std::shared_ptr<T> m_instance;
};

} // namespace win32
