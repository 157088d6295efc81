#pragma once

// One setter per published property of a view model: it stores, and signals only a real change, so
// a view never repaints for a value that stayed the same.
#define RUBBLY_PROPERTY_SETTER(Class, Name, member, Type, signal)                                                      \
    void Class::Name(Type value)                                                                                       \
    {                                                                                                                  \
        if (member == value)                                                                                           \
            return;                                                                                                    \
        member = std::move(value);                                                                                     \
        Q_EMIT signal();                                                                                               \
    }
