out vec4 o;
void main(){o=vec4(texelFetch(TC,ivec2(gl_FragCoord.xy/2.),0).rgb,1);}
