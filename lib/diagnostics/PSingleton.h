#ifndef PSINGLETON_H
#define PSINGLETON_H

// One object of T per module, created on first use and never deleted.
// Creation is not locked: take the instance first on the GUI thread.
template <typename T>
class PSingleton
{
public:
    static T *instance()
    {
        if (!pInstance)
            pInstance = new T;
        return pInstance;
    }

private:
    PSingleton() = delete;
    static T *pInstance;
};

template <typename T>
T *PSingleton<T>::pInstance = nullptr;

#endif // PSINGLETON_H
