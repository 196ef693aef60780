#include "tools/sample-site/site_tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cerrno>
#include <stdexcept>

SiteTls::SiteTls(const std::string& certFile, const std::string& keyFile) {
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (ctx_ == nullptr) {
        throw std::runtime_error("cannot set up TLS");
    }
    SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
    if (SSL_CTX_use_certificate_chain_file(ctx_, certFile.c_str()) != 1) {
        SSL_CTX_free(ctx_);
        throw std::runtime_error("cannot use the certificate in " + certFile);
    }
    if (SSL_CTX_use_PrivateKey_file(ctx_, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(ctx_) != 1) {
        SSL_CTX_free(ctx_);
        throw std::runtime_error("cannot use the key in " + keyFile + " with " + certFile);
    }
}

SiteTls::~SiteTls() {
    SSL_CTX_free(ctx_);
}

ssl_st* SiteTls::Accept(int fd) const {
    SSL* ssl = SSL_new(ctx_);
    if (ssl == nullptr || SSL_set_fd(ssl, fd) != 1 || SSL_accept(ssl) != 1) {
        SSL_free(ssl);
        ERR_clear_error();
        return nullptr;
    }
    return ssl;
}

bool SiteStream::SendAll(const std::string& bytes) const {
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (ssl != nullptr) {
            size_t n = 0;
            if (SSL_write_ex(ssl, bytes.data() + sent, bytes.size() - sent, &n) != 1) {
                ERR_clear_error();
                return false;
            }
            sent += n;
            continue;
        }
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool SiteStream::ReadMore(std::string& buffer) const {
    char block[16384];
    for (;;) {
        if (ssl != nullptr) {
            size_t n = 0;
            if (SSL_read_ex(ssl, block, sizeof block, &n) != 1) {
                ERR_clear_error();
                return false;
            }
            buffer.append(block, n);
            return true;
        }
        const ssize_t n = ::recv(fd, block, sizeof block, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        buffer.append(block, static_cast<size_t>(n));
        return true;
    }
}

void SiteStream::EndTls() {
    if (ssl != nullptr) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
        ERR_clear_error();
        ssl = nullptr;
    }
}
