#pragma once

#include "walk/searchrequest.h"

#include <QStringList>

struct CliArguments
{
    enum class Action { Search, Help, Version, Error };
    Action action = Action::Search;
    SearchForm form;
    bool json = false;
    bool archives = true;    // --no-archives: archives are files like any other
    bool documents = true;   // --no-documents: documents are searched in their bytes
    int workers = 0;         // -j N: threads that search (0: one per core)
    QString message;   // help text, version text or error
};

// Reads the command line of quorvel-search. Without -d the current directory is searched.
CliArguments parseCliArguments(const QStringList &arguments);
