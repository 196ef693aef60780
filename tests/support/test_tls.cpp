#include "tests/support/test_tls.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace tovalin::test {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    char text[256] = "";
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    throw std::runtime_error("test TLS: " + what + ": " + text);
}

// Elliptic-curve keys: made in microseconds, where RSA keys would slow every test.
EVP_PKEY* NewKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (key == nullptr)
        Fail("key");
    return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (ext == nullptr || X509_add_ext(cert, ext, -1) != 1)
        Fail("extension " + value);
    X509_EXTENSION_free(ext);
}

X509* NewCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer, int fromHours,
                     int toHours) {
    static std::atomic<long> serial{1};
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial.fetch_add(1));
    X509_gmtime_adj(X509_getm_notBefore(cert), static_cast<long>(fromHours) * 3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), static_cast<long>(toHours) * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(cert, issuer != nullptr ? X509_get_subject_name(issuer) : name);
    return cert;
}

void Sign(X509* cert, EVP_PKEY* key) {
    if (X509_sign(cert, key, EVP_sha256()) == 0)
        Fail("sign");
}

void WritePem(const std::string& certFile, X509* cert, const std::string& keyFile, EVP_PKEY* key) {
    FILE* f = std::fopen(certFile.c_str(), "w");
    if (f == nullptr || PEM_write_X509(f, cert) != 1)
        Fail("write " + certFile);
    std::fclose(f);
    f = std::fopen(keyFile.c_str(), "w");
    if (f == nullptr || PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        Fail("write " + keyFile);
    std::fclose(f);
}

}  // namespace

struct TestCA::Keys {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    ~Keys() {
        X509_free(cert);
        EVP_PKEY_free(key);
    }
};

TestCA::TestCA() : keys_(std::make_unique<Keys>()) {
    char pattern[] = "/tmp/tovalin-test-ca.XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        throw std::runtime_error("test TLS: no temporary directory");
    dir_ = pattern;
    keys_->key = NewKey();
    keys_->cert = NewCertificate(keys_->key, "Tovalin Test CA", nullptr, -24, 24 * 30);
    AddExtension(keys_->cert, keys_->cert, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(keys_->cert, keys_->cert, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(keys_->cert, keys_->cert, NID_subject_key_identifier, "hash");
    Sign(keys_->cert, keys_->key);
    ca_ = {dir_ + "/ca.pem", dir_ + "/ca.key"};
    WritePem(ca_.certFile, keys_->cert, ca_.keyFile, keys_->key);
}

TestCA::~TestCA() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

TestCertificate TestCA::Issue(const std::string& stem, const CertificateRequest& request) {
    EVP_PKEY* key = NewKey();
    const std::string cn = !request.dnsNames.empty()      ? request.dnsNames.front()
                           : !request.ipAddresses.empty() ? request.ipAddresses.front()
                                                          : stem;
    X509* cert = NewCertificate(key, cn, keys_->cert, request.validFromHours, request.validToHours);
    std::string names;
    for (const auto& n : request.dnsNames)
        names += (names.empty() ? "DNS:" : ",DNS:") + n;
    for (const auto& ip : request.ipAddresses)
        names += (names.empty() ? "IP:" : ",IP:") + ip;
    if (!names.empty())
        AddExtension(cert, keys_->cert, NID_subject_alt_name, names);
    AddExtension(cert, keys_->cert, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert, keys_->cert, NID_ext_key_usage, "serverAuth");
    AddExtension(cert, keys_->cert, NID_authority_key_identifier, "keyid:always");
    Sign(cert, keys_->key);
    TestCertificate files{dir_ + "/" + stem + ".pem", dir_ + "/" + stem + ".key"};
    WritePem(files.certFile, cert, files.keyFile, key);
    X509_free(cert);
    EVP_PKEY_free(key);
    return files;
}

std::shared_ptr<ssl_ctx_st> MakeServerContext(const TestCertificate& certificate, bool tls11Only) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (ctx == nullptr)
        Fail("server context");
    std::shared_ptr<ssl_ctx_st> owned(ctx, SSL_CTX_free);
    if (SSL_CTX_use_certificate_chain_file(ctx, certificate.certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, certificate.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        Fail("server certificate");
    }
    if (tls11Only) {
        // The old versions need the lowest security level of this OpenSSL.
        SSL_CTX_set_security_level(ctx, 0);
        SSL_CTX_set_cipher_list(ctx, "DEFAULT:@SECLEVEL=0");
        SSL_CTX_set_min_proto_version(ctx, TLS1_VERSION);
        SSL_CTX_set_max_proto_version(ctx, TLS1_1_VERSION);
    }
    return owned;
}

TrustOnly::TrustOnly(const std::string& file) {
    if (const char* old = std::getenv("SSL_CERT_FILE")) {
        had_ = true;
        old_ = old;
    }
    ::setenv("SSL_CERT_FILE", file.c_str(), 1);
}

TrustOnly::~TrustOnly() {
    if (had_)
        ::setenv("SSL_CERT_FILE", old_.c_str(), 1);
    else
        ::unsetenv("SSL_CERT_FILE");
}

}  // namespace tovalin::test
