// Removes the language pack installed in the downloaded-pack directory: finds
// the first file of a pack there, one directory entry per idle step on the
// calling thread's work queue, and runs the installer's "remove" for its
// package. Reports to its invoker once, when the directory is read through or
// the removal child has exited; a spawn failure reports nothing.
#pragma once

#include "platform/core/wex_err.h"

#include <memory>
#include <string>

class QrvLangPackRemoverInvoker {
public:
    virtual ~QrvLangPackRemoverInvoker() = default;
    virtual void removerDone(WexErr err) = 0;
};

class QrvLangPackRemoverPimpl;

class QrvLangPackRemover {
public:
    // Starts at once. The invoker must outlive the remover.
    explicit QrvLangPackRemover(QrvLangPackRemoverInvoker* invoker);
    // Drops the pending step; a running child is still reaped but reports
    // nothing.
    ~QrvLangPackRemover();
    QrvLangPackRemover(const QrvLangPackRemover&) = delete;
    QrvLangPackRemover& operator=(const QrvLangPackRemover&) = delete;

    // The language of a pack file's name: a prefix, four characters, then
    // the name's first ".bin" ("img_enus.bin.old" gives "enus").
    static bool packLanguage(const char* name, std::string& language);

private:
    std::shared_ptr<QrvLangPackRemoverPimpl> m_pimpl;
};

// The child-setup hook of the installer's children: nothing to do.
void glibCallsThisRightBeforeExec(void* unused);
