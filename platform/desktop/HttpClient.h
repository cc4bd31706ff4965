#pragma once

#include <QUrl>

namespace hb {

// Fire-and-forget HTTP: a request is started and left alone. Responses, HTTP errors and network
// failures are dropped without a word; there is no retry and no queue. Callable from any thread; the
// requests run on Qt's network machinery and need a running application object (without one, nothing
// is sent).
namespace HttpClient {
void get(const QUrl& url);
}  // namespace HttpClient

}  // namespace hb
