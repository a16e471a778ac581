#include "platform/linux/PamPasswordVerifier.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <pwd.h>
#include <security/pam_appl.h>
#include <unistd.h>

namespace {

using Result = PamPasswordVerifier::Result;
using Verdict = PamPasswordVerifier::Verdict;

struct Conversation
{
    const char* password;
    bool answered = false;
};

// Wipes on every way out of verifyBlocking, exceptions included.
struct WipeOnExit
{
    char* data;
    size_t size;
    ~WipeOnExit() { explicit_bzero(data, size); }
};

struct Job
{
    QString service;
    QString user;
    QByteArray password;
    std::function<void(Result)> done;
    QPointer<QObject> context;
    // Receives the result in the context's thread. Only the delivered result deletes it, so it is
    // still alive whenever the worker posts, even if the context is already gone.
    QObject* relay;
};

void discardReplies(pam_response* replies, int count)
{
    if (!replies) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (replies[i].resp) {
            explicit_bzero(replies[i].resp, std::strlen(replies[i].resp));
            std::free(replies[i].resp);
        }
    }
    std::free(replies);
}

int converse(int count, const pam_message** messages, pam_response** responses, void* data)
{
    if (count <= 0 || count > PAM_MAX_NUM_MSG || !messages || !data) {
        return PAM_CONV_ERR;
    }
    auto* conversation = static_cast<Conversation*>(data);
    // Some modules pass no reply slot with messages that want no answer (pam_matrix does).
    pam_response* replies = nullptr;
    if (responses) {
        // PAM takes ownership of the replies and of every answer in them, and releases them with free().
        replies = static_cast<pam_response*>(std::calloc(static_cast<size_t>(count), sizeof(pam_response)));
        if (!replies) {
            return PAM_BUF_ERR;
        }
    }
    for (int i = 0; i < count; ++i) {
        switch (messages[i]->msg_style) {
        case PAM_PROMPT_ECHO_OFF:
            if (!replies || conversation->answered) {
                discardReplies(replies, count);
                return PAM_CONV_ERR;
            }
            replies[i].resp = strdup(conversation->password);
            if (!replies[i].resp) {
                discardReplies(replies, count);
                return PAM_BUF_ERR;
            }
            conversation->answered = true;
            break;
        case PAM_TEXT_INFO:
        case PAM_ERROR_MSG:
            break;
        default:
            discardReplies(replies, count);
            return PAM_CONV_ERR;
        }
    }
    if (responses) {
        *responses = replies;
    }
    return PAM_SUCCESS;
}

Verdict verdictFor(int status)
{
    switch (status) {
    case PAM_SUCCESS:
        return Verdict::accepted;
    case PAM_AUTH_ERR:
    case PAM_USER_UNKNOWN:
    case PAM_MAXTRIES:
    case PAM_CRED_INSUFFICIENT:
        return Verdict::rejected;
    default:
        return Verdict::unavailable;
    }
}

Result resultFor(pam_handle_t* handle, int status)
{
    const Verdict verdict = verdictFor(status);
    if (verdict == Verdict::accepted) {
        return {verdict, QString()};
    }
    return {verdict, QString::fromLocal8Bit(pam_strerror(handle, status))};
}

Result authenticate(const QString& service, const QString& user, const char* password, size_t length)
{
    // PAM sees C strings: anything after a NUL would be ignored, and a password that merely starts with
    // the right one must not pass.
    if (std::memchr(password, '\0', length)) {
        return resultFor(nullptr, PAM_AUTH_ERR);
    }
    // An empty name would make the stack ask for one, a NUL would cut it short.
    const QByteArray name = user.toLocal8Bit();
    if (name.isEmpty() || name.contains('\0')) {
        return resultFor(nullptr, PAM_USER_UNKNOWN);
    }

    Conversation conversation{password};
    const pam_conv conv{&converse, &conversation};
    pam_handle_t* handle = nullptr;
    int status = pam_start(service.toUtf8().constData(), name.constData(), &conv, &handle);
    if (status == PAM_SUCCESS) {
        // Null passwords are allowed on purpose: for an account without one, pam_unix (with nullok)
        // answers success without asking, which is how such an account is told apart from a wrong
        // password. A stack that passes without taking the password would open for anything, and a
        // lock that opens for anything is no lock.
        status = pam_authenticate(handle, 0);
    }
    Result result = resultFor(handle, status);
    if (result.verdict == Verdict::accepted && !conversation.answered) {
        result = {Verdict::notSet, QCoreApplication::translate("PamPasswordVerifier",
                                                               "No account password set on this computer")};
    }
    if (handle) {
        pam_end(handle, status);
    }
    return result;
}

} // namespace

PamPasswordVerifier::Result PamPasswordVerifier::verifyBlocking(const QString& service, const QString& user,
                                                                QByteArray& password)
{
    // data() detaches a shared array, so from here on this is storage that only `password` owns.
    const WipeOnExit wipe{password.data(), static_cast<size_t>(password.size())};
    return authenticate(service, user, wipe.data, wipe.size);
}

PamPasswordVerifier::PamPasswordVerifier(const QString& service, const QString& user)
    : m_service(service)
    , m_user(user)
{}

QString PamPasswordVerifier::runningUser()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

void PamPasswordVerifier::verify(QByteArray password, QObject* context, std::function<void(Result)> done)
{
    if (!context) {
        const WipeOnExit wipe{password.data(), static_cast<size_t>(password.size())};
        return;
    }
    auto* relay = new QObject;
    relay->moveToThread(context->thread());
    auto job =
        std::make_shared<Job>(Job{m_service, m_user, std::move(password), std::move(done), context, relay});

    QThreadPool::globalInstance()->start([job] {
        const Result result = verifyBlocking(job->service, job->user, job->password);
        QMetaObject::invokeMethod(
            job->relay,
            [job, result] {
                job->relay->deleteLater();
                // Moved out so that whatever `done` holds is released on this thread, not the worker's.
                const std::function<void(Result)> deliver = std::move(job->done);
                if (job->context) {
                    deliver(result);
                }
            },
            Qt::QueuedConnection);
    });
}
