# Sourced by run-tests.sh: a plain file server (Debian's nginx) on loopback for the
# download tests and the download benchmark, over HTTP and HTTPS with the run's test
# certificate. Tests put files into ORVANE_NGINX_ROOT; besides the files it serves
#   /hop/N/PATH   N redirects (Location relative to the host) ending at /PATH (N = 1..9)
#   /deep/dir/go  a redirect to the relative address ../up.bin (that is /deep/up.bin)
#   /long/PATH    a redirect to /PATH followed by a query of 600 characters
#   /slow/PATH    the file /PATH at 64 KiB a second
# Exports ORVANE_NGINX_ROOT (a Linux path), ORVANE_NGINX_HTTP_PORT, ORVANE_NGINX_HTTPS_PORT.
nginx_dir="$ORVANE_SANDBOX/nginx"
export ORVANE_NGINX_ROOT="$nginx_dir/www"
export ORVANE_NGINX_HTTP_PORT="${ORVANE_NGINX_HTTP_PORT:-8080}"
export ORVANE_NGINX_HTTPS_PORT="${ORVANE_NGINX_HTTPS_PORT:-8443}"
mkdir -p "$ORVANE_NGINX_ROOT" "$nginx_dir/temp"
nginx_long_query="$(head -c 600 /dev/zero | tr '\0' 'q')"
cat > "$nginx_dir/nginx.conf" <<CONF
# One process in the foreground: the sandbox stops it by pid.
daemon off;
master_process off;
worker_processes 1;
pid $nginx_dir/nginx.pid;
error_log $nginx_dir/error.log warn;
events { worker_connections 256; }
http {
    access_log off;
    default_type application/octet-stream;
    sendfile on;
    client_body_temp_path $nginx_dir/temp/body;
    proxy_temp_path $nginx_dir/temp/proxy;
    fastcgi_temp_path $nginx_dir/temp/fastcgi;
    uwsgi_temp_path $nginx_dir/temp/uwsgi;
    scgi_temp_path $nginx_dir/temp/scgi;
    # Redirects carry the Location as written, so relative ones reach the client.
    absolute_redirect off;
    map \$hops \$hop_prefix {
        1 "";
        2 /hop/1; 3 /hop/2; 4 /hop/3; 5 /hop/4; 6 /hop/5; 7 /hop/6; 8 /hop/7; 9 /hop/8;
    }
    server {
        listen 127.0.0.1:$ORVANE_NGINX_HTTP_PORT;
        listen 127.0.0.1:$ORVANE_NGINX_HTTPS_PORT ssl;
        ssl_certificate $ORVANE_CA_DIR/server.pem;
        ssl_certificate_key $ORVANE_CA_DIR/server.key;
        root $ORVANE_NGINX_ROOT;
        location ~ ^/hop/(?<hops>[1-9])/(?<rest>.*)\$ { return 302 \$hop_prefix/\$rest; }
        location = /deep/dir/go { return 302 ../up.bin; }
        location /slow/ {
            limit_rate 65536;
            rewrite ^/slow/(.*)\$ /\$1 break;
        }
        location ~ ^/long/(?<target>.*)\$ { return 302 /\$target?$nginx_long_query; }
    }
}
CONF
nginx -c "$nginx_dir/nginx.conf" -p "$nginx_dir" >"$nginx_dir/stdout.log" 2>&1 &
service_pids+=($!)
for _ in $(seq 1 100); do
  curl -s -o /dev/null "http://127.0.0.1:$ORVANE_NGINX_HTTP_PORT/" && break
  sleep 0.1
done
curl -s -o /dev/null "http://127.0.0.1:$ORVANE_NGINX_HTTP_PORT/" || { cat "$nginx_dir/error.log" >&2; false; }
