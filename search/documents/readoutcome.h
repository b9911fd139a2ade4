#pragma once

#include "documents/formatreaders.h"
#include "documents/xmlpart.h"

// How reading a document ends when one of its parts was read to where it stopped.
inline DocumentRead outcomeOf(const XmlPart &part)
{
    switch (part.state()) {
    case XmlPart::State::Stopped:
        return DocumentRead::Stopped;
    case XmlPart::State::Damaged:
        return DocumentRead::Unreadable;
    default:
        return DocumentRead::Finished;
    }
}
