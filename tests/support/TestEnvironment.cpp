#include "tests/support/TestEnvironment.h"

QString TestLoopback::Address(Block block, int host)
{
    Q_ASSERT(host >= 1 && host <= 254);
    return QStringLiteral("127.0.%1.%2").arg(int(block)).arg(host);
}

int TestTimeoutMs()
{
    bool ok = false;
    const double factor = qEnvironmentVariable("ZOLVA_TEST_TIMEOUT_FACTOR").toDouble(&ok);
    return int(5000 * (ok && factor > 1.0 ? factor : 1.0));
}
